#include "ClassListRefresh.h"

#include "ServerClassCopies.h"
#include "ServerConnection.h"

#include <condition_variable>
#include <mutex>

namespace quiltaro {

struct ClassListRefresh::State {
    std::mutex mutex;
    std::condition_variable_any wake; // with the worker's stop token
    bool asked = true;                // a refresh at once
};

ClassListRefresh::ClassListRefresh(ServerSettings settings, std::chrono::milliseconds period,
                                   Changed changed)
    : state_(std::make_unique<State>()) {
    worker_.start([s = state_.get(), settings = std::move(settings), period,
                   changed = std::move(changed)](std::stop_token stop) {
        // Short deadlines: a list that comes late is taken next time.
        ServerConnection server(settings.conninfo, {3, 5000, 7000});
        const std::stop_callback cut(stop, [&server] { server.interrupt(); });
        QStringList refused;
        for (;;) {
            {
                std::unique_lock lock(s->mutex);
                s->wake.wait_for(lock, stop, period, [s] { return s->asked; });
                if (stop.stop_requested())
                    return;
                s->asked = false;
            }
            CopiesRefreshed told;
            const bool refreshed = refreshClassCopies(server, &told);
            // Between refreshes the server has no connection of ours.
            if (refreshed)
                server.close();
            if (refreshed && (told.changed || told.refused != refused) && !stop.stop_requested())
                changed(told.refused);
            if (refreshed)
                refused = told.refused;
        }
    });
}

// The worker's own end stops it, cutting a reading under way, and joins it.
ClassListRefresh::~ClassListRefresh() = default;

void ClassListRefresh::request() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->asked = true;
    }
    state_->wake.notify_all();
}

} // namespace quiltaro
