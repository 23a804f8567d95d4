#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <stop_token>
#include <vector>

namespace quiltaro {

// Which computer sent what, and when, as the class's server saw it: each
// computer is the login role it sends with. A teacher reads from it which
// computer a pupil's rounds came from, and which computer stopped sending.

// What the server holds of one computer for one class: its rounds, the last
// one's arrival (invalid when none came). Computers the school attached to
// a class that never sent are there too.
struct SenderRow {
    QString role;
    QString className;
    QDateTime last;
    qint64 rounds = 0;
};
// One pupil's rounds from one computer.
struct PupilSenderRow {
    QString className;
    QString pupil;
    QString role;
    QDateTime last;
    qint64 rounds = 0;
};

struct ComputerSeen {
    QString role;
    QStringList classes;
    QDateTime last; // its last round, whichever class; invalid: none yet
    qint64 rounds = 0;
    // Silent: another computer of one of its classes sent rounds on a later
    // day than its last (or at all, when it never sent): a day its class
    // played elsewhere, and it did not send. The class it was silent for.
    QString silentFor;
};
struct PupilSeen {
    QString className;
    QString pupil;
    QStringList computers; // the most recent first
    QDateTime last;
};
struct SendingActivity {
    std::vector<ComputerSeen> computers; // by role
    std::vector<PupilSeen> pupils;       // by class, then pupil
};

// The activity of those rows; days are told in local time.
SendingActivity activityOf(const std::vector<SenderRow>& senders,
                           const std::vector<PupilSenderRow>& pupils);

// Where the activity is read: the class's server. False, with the reason in
// French, when it could not be read; a stop cuts a reading under way.
using SendingActivityReader =
    std::function<bool(SendingActivity& into, QString* problem, std::stop_token stop)>;

} // namespace quiltaro
