#include "ServerClassFeed.h"

#include "ServerConnection.h"
#include "ServerRounds.h"

#include <condition_variable>
#include <mutex>

namespace quiltaro {

ServerClassFeed::ServerClassFeed(ServerSettings settings, std::chrono::milliseconds period,
                                 Update update) {
    worker_.start(
        [settings = std::move(settings), period, update = std::move(update)](std::stop_token stop) {
            // The whole class may take seconds to read: a longer deadline.
            ServerConnection server(settings.conninfo, {3, 120000, 125000});
            // A stop cuts a reading, or a connection attempt, under way.
            const std::stop_callback cut(stop, [&server] { server.interrupt(); });
            ServerRounds read;
            bool first = true;
            std::mutex mutex; // only for sleeping until the next reading, or the stop
            std::condition_variable_any sleep;
            for (;;) {
                const size_t before = read.rounds.size();
                const bool ok = readNewRounds(server, settings.className, read);
                const bool changed = first || read.rounds.size() != before;
                if (stop.stop_requested())
                    break;
                if (ok || first)
                    update(read.rounds, changed, ok ? QString() : server.problem());
                first = first && !ok;
                std::unique_lock lock(mutex);
                sleep.wait_for(lock, stop, period, [] { return false; });
                if (stop.stop_requested())
                    break;
            }
        });
}

// The worker's own end stops it, cutting a reading under way, and joins it.
ServerClassFeed::~ServerClassFeed() = default;

} // namespace quiltaro
