#pragma once

#include "RecordStore.h"
#include "ServerConfig.h"
#include "Worker.h"

#include <chrono>
#include <functional>
#include <vector>

namespace quiltaro {

// The class's rounds on the server, kept up to date while the class plays,
// for a teacher's view: a thread of its own (a Worker) reads every round once, then
// every `period` the rounds that arrived since, and tells `update` on that
// thread, which the view can do its own sums on before it hands them to the
// user-interface thread. The view never waits for the server.
class ServerClassFeed {
public:
    // `rounds`: every round so far, oldest first; `changed`: since the last
    // call; `problem`: in French, empty when the server was read.
    using Update = std::function<void(const std::vector<RoundRecord>& rounds, bool changed,
                                      const QString& problem)>;
    ServerClassFeed(ServerSettings settings, std::chrono::milliseconds period, Update update);
    ~ServerClassFeed(); // stops the thread, cutting a reading under way

    ServerClassFeed(const ServerClassFeed&) = delete;
    ServerClassFeed& operator=(const ServerClassFeed&) = delete;

private:
    Worker worker_;
};

} // namespace quiltaro
