#include "ServerClassFeed.h"

#include "ServerConnection.h"
#include "ServerRounds.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace quiltaro {

struct ServerClassFeed::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    ServerConnection* connection = nullptr;
    std::thread thread;
};

ServerClassFeed::ServerClassFeed(ServerSettings settings, std::chrono::milliseconds period,
                                 Update update)
    : state_(std::make_shared<State>()) {
    state_->thread = std::thread([state = state_.get(), settings, period, update] {
        // The whole class may take seconds to read: a longer deadline.
        ServerConnection server(settings.conninfo, {3, 120000, 125000});
        {
            const std::lock_guard lock(state->mutex);
            state->connection = &server;
        }
        ServerRounds read;
        bool first = true;
        for (;;) {
            const size_t before = read.rounds.size();
            const bool ok = readNewRounds(server, settings.className, read);
            const bool changed = first || read.rounds.size() != before;
            {
                const std::lock_guard lock(state->mutex);
                if (state->stopping)
                    break;
            }
            if (ok || first)
                update(read.rounds, changed, ok ? QString() : server.problem());
            first = first && !ok;
            std::unique_lock lock(state->mutex);
            if (state->changed.wait_for(lock, period, [&] { return state->stopping; }))
                break;
        }
        const std::lock_guard lock(state->mutex);
        state->connection = nullptr;
    });
}

ServerClassFeed::~ServerClassFeed() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        if (state_->connection)
            state_->connection->interrupt();
    }
    state_->changed.notify_all();
    state_->thread.join();
}

} // namespace quiltaro
