#include "ClassListRefresh.h"

#include "ServerClassCopies.h"
#include "ServerConnection.h"

#include <QFile>

#include <condition_variable>
#include <mutex>
#include <optional>

namespace quiltaro {

namespace {

// The copies as they are on disk now, whoever wrote them: this refresh, or
// the sender, which refreshes them after it sent.
QStringList copiesNow(const QString& configuredClass) {
    QStringList now;
    for (const ClassListSource& copy : serverClassCopies(configuredClass)) {
        QFile file(copy.file);
        now << copy.name << QString::fromUtf8(file.open(QIODevice::ReadOnly) ? file.readAll() : "");
    }
    now.sort();
    return now;
}

} // namespace

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
        std::optional<QStringList> told; // the copies as last told: none at first
        for (;;) {
            {
                std::unique_lock lock(s->mutex);
                s->wake.wait_for(lock, stop, period, [s] { return s->asked; });
                if (stop.stop_requested())
                    return;
                s->asked = false;
            }
            CopiesRefreshed refreshed;
            if (!refreshClassCopies(server, &refreshed))
                continue;
            // Between refreshes the server has no connection of ours.
            server.close();
            // The game read the copies before the first refresh: it is told
            // then, whatever they are, and each time they changed since.
            const QStringList now = copiesNow(settings.className);
            if ((now != told || refreshed.refused != refused) && !stop.stop_requested())
                changed(refreshed.refused);
            told = now;
            refused = refreshed.refused;
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
