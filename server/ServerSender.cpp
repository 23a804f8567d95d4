#include "ServerSender.h"

#include "Pupils.h"
#include "RecordStore.h"
#include "RetryPace.h"
#include "ServerClassCopies.h"
#include "ServerConnection.h"
#include "ServerRounds.h"
#include "UnsentRounds.h"

#include <QDir>
#include <QFileInfo>

#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <stop_token>

namespace quiltaro {

namespace {
// Rounds read from a record at a time.
constexpr int batch = 100;
} // namespace

struct ServerSender::State {
    ServerSettings settings;
    Sink sink;
    std::mutex mutex;
    std::condition_variable_any changed; // with the worker's stop token
    std::set<QString> toLook;            // records that may have rounds to send
    bool ending = false;                 // finish(): one last try, then the thread ends
    std::set<QString> told;              // problems told already

    void tell(const QString& problem) {
        if (!told.insert(problem).second)
            return;
        sink(QStringLiteral("quiltaro : les manches ne peuvent pas être envoyées au serveur "
                            "(%1) : %2. Elles restent sur ce poste et partiront à la prochaine "
                            "occasion.")
                 .arg(maskedConnInfo(settings.conninfo), problem));
    }
};

ServerSender::ServerSender(ServerSettings settings, QStringList records, Sink sink)
    : state_(std::make_unique<State>()) {
    state_->settings = std::move(settings);
    state_->sink =
        sink ? std::move(sink)
             : Sink([](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
    for (const QString& record : records)
        state_->toLook.insert(record);
    worker_.start([s = state_.get()](std::stop_token stop) { run(*s, stop); });
}

// The worker's own end stops it, cutting what it waits for, and joins it.
ServerSender::~ServerSender() = default;

QStringList ServerSender::localRecords() {
    return QStringList{RecordStore::defaultPath()} + pupilRecordsBeside(RecordStore::defaultPath());
}

void ServerSender::roundWritten(const QString& recordPath) {
    {
        const std::lock_guard lock(state_->mutex);
        state_->toLook.insert(recordPath);
    }
    state_->changed.notify_all();
}

void ServerSender::finish(std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    {
        const std::lock_guard lock(state_->mutex);
        state_->ending = true;
    }
    state_->changed.notify_all();
    // Stopped a little before the deadline if the last try is not over: the
    // connection, its attempt to connect or its statement, is cut at once.
    if (!worker_.waitUntil(deadline - stopTime)) {
        worker_.requestStop();
        worker_.join();
    }
}

namespace {

// Whose rounds those are that name nobody: the pupil of the folder the
// record is in, else the account's.
QString pupilOf(const QString& recordPath) {
    const QFileInfo folder(QFileInfo(recordPath).path());
    const QFileInfo above(folder.path());
    if (above.fileName() == QLatin1String("eleves") ||
        QFileInfo(above.path()).fileName() == QLatin1String("eleves"))
        return folder.fileName();
    return accountPupilName();
}

} // namespace

// One look at `toLook`: every unsent round of those records is sent, until
// the server fails, a record cannot be marked, or the thread is stopped.
ServerSender::Pass ServerSender::sendPass(State& s, ServerConnection& server, Records& records,
                                          const std::set<QString>& toLook,
                                          const std::stop_token& stop) {
    Pass pass;
    for (const QString& path : toLook) {
        auto& unsent = records[path];
        if (!unsent)
            unsent = std::make_unique<UnsentRounds>(path, pupilOf(path));
        for (bool more = true; more && !pass.failed && !pass.held && !stop.stop_requested();) {
            const auto rounds = unsent->next(batch);
            more = rounds.size() == static_cast<size_t>(batch);
            for (const UnsentRounds::Unsent& u : rounds) {
                // Erased, or set aside, since it was read: never sent; the
                // new file is read again in a moment.
                if (!unsent->current()) {
                    pass.held = true;
                    break;
                }
                const bool sent = sendRound(server, u.round, s.settings.className);
                if (!sent && !refusedForGood(server)) {
                    pass.failed = true;
                    break;
                }
                if (!sent) {
                    // A round the server will never take must not hold
                    // back those after it.
                    const std::lock_guard told(s.mutex);
                    s.tell(server.problem());
                }
                // Unmarked, the round would be read and sent again at
                // once, and again: later, rather.
                if (!unsent->markSent(u.id, !sent)) {
                    pass.held = true;
                    break;
                }
            }
        }
    }
    return pass;
}

void ServerSender::run(State& s, const std::stop_token& stop) {
    ServerConnection server(s.settings.conninfo);
    // A stop cuts what the connection waits for: connecting, or a statement.
    const std::stop_callback cut(stop, [&server] { server.interrupt(); });
    Records records;
    bool listFresh = false;
    RetryPace pace{std::random_device{}()};
    std::unique_lock lock(s.mutex);
    // Without anything to retry, woken by the next round only.
    const auto idle = std::chrono::hours(1);
    auto nextTry = std::chrono::steady_clock::now() + idle;
    // After the server failed, nothing is tried before nextTry: not the next
    // round, and at the end nothing more.
    bool waitingOut = false;
    // Records that failed, looked at again with the next round or at nextTry.
    std::set<QString> again;
    for (;;) {
        s.changed.wait_until(lock, stop, nextTry,
                             [&] { return s.ending || (!waitingOut && !s.toLook.empty()); });
        const bool last = s.ending;
        const bool due = std::chrono::steady_clock::now() >= nextTry;
        std::set<QString> toLook;
        toLook.swap(s.toLook);
        toLook.insert(again.begin(), again.end());
        again.clear();
        if (stop.stop_requested() || (last && (toLook.empty() || (waitingOut && !due))))
            break; // what was not sent goes at the next start
        lock.unlock();
        Pass pass = sendPass(s, server, records, toLook, stop);
        if (!pass.failed && !listFresh && !stop.stop_requested()) {
            listFresh = refreshClassCopies(server) || server.sqlState() == QLatin1String("42501");
            // A server that cannot give the list is waited out all the same.
            pass.failed = !listFresh && !server.isOpen();
        }
        lock.lock();
        if (stop.stop_requested())
            break; // cut from this side: nothing to tell
        if (pass.failed)
            s.tell(server.problem());
        if (last)
            break; // one last try at most
        waitingOut = pass.failed;
        if (pass.failed || pass.held) {
            again = std::move(toLook);
            nextTry = std::chrono::steady_clock::now() +
                      (pass.failed ? pace.failed() : std::chrono::milliseconds(1000));
        } else {
            pace.succeeded();
            nextTry = std::chrono::steady_clock::now() + idle;
        }
    }
    lock.unlock();
    records.clear(); // the records' connections, before the server's
}

} // namespace quiltaro
