#pragma once

#include "ServerConfig.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

namespace quiltaro {

class Recorder;

// Sends the rounds of this computer's records to the class's server, on a
// thread of its own, after the record's writer has them on disk: the game
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
    ~ServerSender(); // as finish(), with no time to wait
    ServerSender(const ServerSender&) = delete;
    ServerSender& operator=(const ServerSender&) = delete;

    // A round was written into the record at `recordPath`: send what it has
    // not sent yet. Returns at once; from any thread.
    void roundWritten(const QString& recordPath);
    // Waits up to `patience` for what is unsent to be sent, then stops. A
    // thread still waiting on the network then is left to end with the program.
    void finish(std::chrono::milliseconds patience);

    // For tests and the benchmark: rounds sent in this run, and whether the
    // last pass found nothing left to send, within `timeout`.
    long long sent() const;
    bool drained(std::chrono::milliseconds timeout);

    // The records of this computer: the login's own, and each listed pupil's.
    static QStringList localRecords();
    // With a server in the configuration, a sender that the recorder tells
    // of every round it writes, looking at this computer's records at once;
    // null without one. It must outlive the recorder's writer.
    static std::unique_ptr<ServerSender> follow(Recorder& recorder, Sink sink = {});

private:
    struct State;
    static void run(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};

} // namespace quiltaro
