#pragma once

#include "ClassRecord.h"
#include "ServerConfig.h"
#include "Worker.h"

#include <chrono>
#include <functional>
#include <vector>

namespace quiltaro {

// The class on the server, kept up to date while the class plays, for a
// teacher's view: a thread of its own (a Worker) has the server count the
// class's rounds (readServerClassCounts) once, then looks every `period`
// whether any arrived or went, counts them again if so, and tells `update` on
// that thread, which hands the class to the user-interface thread; so too
// when the class's list changed, whose pupils without a round are in the
// class (pupilsListed). The view never waits for the server.
class ServerClassFeed {
public:
    // `data`: the class as counted last; `changed`: since the last call;
    // `problem`: in French, empty when the server was read.
    using Update =
        std::function<void(const ClassRecord& data, bool changed, const QString& problem)>;
    ServerClassFeed(ServerSettings settings, std::chrono::milliseconds period, Update update);
    ~ServerClassFeed(); // stops the thread, cutting a reading under way

    ServerClassFeed(const ServerClassFeed&) = delete;
    ServerClassFeed& operator=(const ServerClassFeed&) = delete;

private:
    Worker worker_;
};

} // namespace quiltaro
