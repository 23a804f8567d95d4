#pragma once

#include "ServerConfig.h"
#include "Worker.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stop_token>

namespace quiltaro {

class ServerConnection;
class UnsentRounds;

// Sends the rounds of this computer's records to the class's server, on a
// thread of its own (a Worker), after the record's writer has them on disk:
// the game
// never waits for the network, whether the server is slow, stopped or
// unreachable. The records mark what was sent; what was not is sent at the
// next round, or at the next start. At start it also refreshes the copy of
// the server's class list kept on this computer.
class ServerSender {
public:
    using Sink = std::function<void(const QString&)>;
    // `records`: the record files to look in at start (the login's own and
    // those of the class's pupils). Failures are told once each, in French,
    // to `sink` (standard error by default), never with the password.
    ServerSender(ServerSettings settings, QStringList records, Sink sink = {});
    ~ServerSender(); // stops at once, cutting what the thread waits for
    ServerSender(const ServerSender&) = delete;
    ServerSender& operator=(const ServerSender&) = delete;

    // A round was written into the record at `recordPath`: send what it has
    // not sent yet. Returns at once; from any thread.
    void roundWritten(const QString& recordPath);
    // Gives what is unsent one last try, then the thread ends; by
    // `patience`, when it is stopped, cutting the connection. The thread
    // has ended when this returns: the program ends it before Qt's SQL
    // drivers go.
    void finish(std::chrono::milliseconds patience);

    // The records of this computer: the login's own, and each listed pupil's.
    static QStringList localRecords();

private:
    struct State;
    struct Pass {
        bool failed = false; // the server did not take a round
        bool held = false;   // a record could not be marked (another copy writes)
    };
    using Records = std::map<QString, std::unique_ptr<UnsentRounds>>;
    // The time a stopped thread is given to see its connection cut.
    static constexpr std::chrono::milliseconds stopTime{100};
    static void run(State& s, const std::stop_token& stop);
    static Pass sendPass(State& s, ServerConnection& server, Records& records,
                         const std::set<QString>& toLook, const std::stop_token& stop);
    std::unique_ptr<State> state_;
    Worker worker_; // after the state it uses: it goes first
};

} // namespace quiltaro
