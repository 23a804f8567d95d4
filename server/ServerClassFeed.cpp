#include "ServerClassFeed.h"

#include "ServerClassList.h"
#include "ServerConnection.h"
#include "ServerCounts.h"

#include <condition_variable>
#include <mutex>

namespace quiltaro {

ServerClassFeed::ServerClassFeed(ServerSettings settings, std::chrono::milliseconds period,
                                 Update update) {
    worker_.start([settings = std::move(settings), period,
                   update = std::move(update)](std::stop_token stop) {
        // The whole class may take seconds to read: a longer deadline.
        ServerConnection server(settings.conninfo, {3, 120000, 125000});
        // A stop cuts a reading, or a connection attempt, under way.
        const std::stop_callback cut(stop, [&server] { server.interrupt(); });
        ClassRecord data;
        ClassStamp counted;
        QStringList listed;
        bool first = true;
        std::mutex mutex; // only for sleeping until the next reading, or the stop
        std::condition_variable_any sleep;
        for (;;) {
            // The count is asked again only when a round arrived or went:
            // the stamp costs the server one pass over the class's index.
            ClassStamp now;
            bool ok = readClassStamp(server, settings.className, now);
            const bool roundsChanged = ok && (first || now != counted);
            // A name the teacher adds to the list shows without a round.
            const QStringList nowListed = ok ? pupilsListed(server, settings.className) : listed;
            const bool listChanged = nowListed != listed;
            listed = nowListed;
            if (roundsChanged) {
                ok = readServerClassCounts(server, settings, data);
                // A round that arrives meanwhile is counted next time.
                if (ok)
                    counted = now;
            }
            const bool changed = ok && (roundsChanged || listChanged);
            if (stop.stop_requested())
                break;
            if (ok || first) {
                ClassRecord shown = data;
                addListedPupils(shown, listed);
                update(shown, changed || (first && !ok), ok ? QString() : server.problem());
            }
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
