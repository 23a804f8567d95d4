#include "ClassListRefresh.h"

#include "ServerClassList.h"
#include "ServerConnection.h"

#include <QFileInfo>

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
        ClassList last = readClassListFile(serverClassListCopy());
        for (;;) {
            {
                std::unique_lock lock(s->mutex);
                s->wake.wait_for(lock, stop, period, [s] { return s->asked; });
                if (stop.stop_requested())
                    return;
                s->asked = false;
            }
            // The copy is the server's list as read now; none when the
            // server has none.
            if (!refreshClassListCopy(server, settings.className))
                continue;
            // Between refreshes the server has no connection of ours.
            server.close();
            const ClassList now = QFileInfo::exists(serverClassListCopy())
                                      ? readClassListFile(serverClassListCopy())
                                      : ClassList();
            if (!(now == last) && !stop.stop_requested())
                changed(now);
            last = now;
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
