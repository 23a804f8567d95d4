#include "ServerSender.h"

#include "Pupils.h"
#include "RecordStore.h"
#include "Recorder.h"
#include "ServerClassList.h"
#include "ServerConnection.h"
#include "ServerRounds.h"
#include "UnsentRounds.h"

#include <QDir>
#include <QFileInfo>

#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace quiltaro {

namespace {
// After a failure, the next attempt comes with the next round, or after this.
constexpr auto retryAfter = std::chrono::seconds(15);
// Rounds read from a record at a time.
constexpr int batch = 100;
} // namespace

struct ServerSender::State {
    ServerSettings settings;
    Sink sink;
    std::mutex mutex;
    std::condition_variable changed;
    std::set<QString> toLook; // records that may have rounds to send
    bool stopping = false;
    bool ending = false;  // finish() waits: one last try of what failed
    bool done = false;    // the thread has ended
    bool drained = false; // the last pass had nothing left to send
    long long sent = 0;
    ServerConnection* connection = nullptr; // while the thread runs
    std::set<QString> told;                 // problems told already

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
    : state_(std::make_shared<State>()) {
    state_->settings = std::move(settings);
    state_->sink =
        sink ? std::move(sink)
             : Sink([](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
    for (const QString& record : records)
        state_->toLook.insert(record);
    std::thread(run, state_).detach();
}

ServerSender::~ServerSender() {
    finish(std::chrono::milliseconds::zero());
}

QStringList ServerSender::localRecords() {
    QStringList records{RecordStore::defaultPath()};
    const QDir pupils(QFileInfo(RecordStore::defaultPath()).path() + QStringLiteral("/eleves"));
    for (const QString& pupil : pupils.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (QFileInfo::exists(pupils.filePath(pupil) + QStringLiteral("/record.sqlite")))
            records << pupils.filePath(pupil) + QStringLiteral("/record.sqlite");
    return records;
}

std::unique_ptr<ServerSender> ServerSender::follow(Recorder& recorder, Sink sink) {
    ServerSettings settings = readServerSettings();
    if (!settings.configured())
        return nullptr;
    auto sender =
        std::make_unique<ServerSender>(std::move(settings), localRecords(), std::move(sink));
    recorder.whenWritten([to = sender.get()](const QString& path) { to->roundWritten(path); });
    return sender;
}

void ServerSender::roundWritten(const QString& recordPath) {
    {
        const std::lock_guard lock(state_->mutex);
        state_->toLook.insert(recordPath);
        state_->drained = false;
    }
    state_->changed.notify_all();
}

long long ServerSender::sent() const {
    const std::lock_guard lock(state_->mutex);
    return state_->sent;
}

bool ServerSender::drained(std::chrono::milliseconds timeout) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] {
        return state_->drained || state_->done;
    }) && state_->drained;
}

void ServerSender::finish(std::chrono::milliseconds patience) {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    if (s.stopping)
        return;
    s.ending = true;
    s.changed.notify_all();
    s.changed.wait_for(lock, patience, [&] { return s.drained || s.done; });
    s.stopping = true;
    if (s.connection)
        s.connection->interrupt();
    s.changed.notify_all();
    // A thread still connecting (libpq's connect timeout) is not waited for:
    // it holds its state, and ends with the program.
    s.changed.wait_for(lock, std::chrono::milliseconds(300), [&] { return s.done; });
}

namespace {

// Whose rounds those are that name nobody: the pupil of the folder the
// record is in, else the account's.
QString pupilOf(const QString& recordPath) {
    const QFileInfo folder(QFileInfo(recordPath).path());
    if (QFileInfo(folder.path()).fileName() == QLatin1String("eleves"))
        return folder.fileName();
    return accountPupilName();
}

} // namespace

void ServerSender::run(std::shared_ptr<State> state) {
    State& s = *state;
    {
        ServerConnection server(s.settings.conninfo);
        std::map<QString, std::unique_ptr<UnsentRounds>> records;
        bool listFresh = false;
        std::unique_lock lock(s.mutex);
        s.connection = &server;
        // Without anything to retry, woken by the next round only.
        const auto idle = std::chrono::hours(1);
        auto nextTry = std::chrono::steady_clock::now() + idle;
        // Records that failed, looked at again with the next round or at nextTry.
        std::set<QString> again;
        while (!s.stopping) {
            s.changed.wait_until(lock, nextTry, [&] {
                return s.stopping || !s.toLook.empty() || (s.ending && !again.empty());
            });
            if (s.stopping)
                break;
            std::set<QString> toLook;
            toLook.swap(s.toLook);
            toLook.insert(again.begin(), again.end());
            again.clear();
            bool failed = false; // the server did not take a round
            bool held = false;   // the record could not be marked (another copy writes)
            lock.unlock();
            for (const QString& path : toLook) {
                auto& unsent = records[path];
                if (!unsent)
                    unsent = std::make_unique<UnsentRounds>(path, pupilOf(path));
                for (bool more = true; more && !failed && !held;) {
                    const auto rounds = unsent->next(batch);
                    more = rounds.size() == static_cast<size_t>(batch);
                    for (const UnsentRounds::Unsent& u : rounds) {
                        const bool sent = sendRound(server, u.round, s.settings.className);
                        if (!sent && !refusedForGood(server)) {
                            failed = true;
                            break;
                        }
                        if (!sent) {
                            // A round the server will never take must not
                            // hold back those after it.
                            const std::lock_guard told(s.mutex);
                            s.tell(server.problem());
                        }
                        {
                            const std::lock_guard counted(s.mutex);
                            ++s.sent;
                        }
                        // Unmarked, the round would be read and sent again
                        // at once, and again: later, rather.
                        if (!unsent->markSent(u.id, !sent)) {
                            held = true;
                            break;
                        }
                    }
                    const std::lock_guard stop(s.mutex);
                    if (s.stopping)
                        more = false;
                }
            }
            if (!failed && !listFresh)
                listFresh = refreshClassListCopy(server, s.settings.className) ||
                            server.sqlState() == QLatin1String("42501");
            lock.lock();
            if (failed || held) {
                if (failed)
                    s.tell(server.problem());
                // Looked at again at the next round, or after a while.
                again = std::move(toLook);
                nextTry = std::chrono::steady_clock::now() +
                          (failed ? retryAfter : std::chrono::seconds(1));
                s.drained = false;
            } else {
                nextTry = std::chrono::steady_clock::now() + idle;
                s.drained = s.toLook.empty();
            }
            s.changed.notify_all();
        }
        s.connection = nullptr;
        lock.unlock();
        records.clear();
    }
    const std::lock_guard lock(s.mutex);
    s.done = true;
    s.changed.notify_all();
}

} // namespace quiltaro
