#pragma once

#include "RecordStore.h"

#include <QStringList>
#include <QUuid>

#include <set>
#include <vector>

namespace quiltaro {

class ServerConnection;

// A round's identity on the server, made on the computer that played it:
// from its game's token (a UUID made when the game began) and the moments it
// began and ended. Sent again, the same round has the same identity.
QUuid roundIdentity(const RoundRecord& round);

// Adds one round, with its own class, else `className` (the computer's, for
// rounds from before classes had names); a round the server has already is
// left as it is. What the round holds reaches the server as bound values
// only. False with the connection's problem when it was not sent.
bool sendRound(ServerConnection& server, const RoundRecord& round, const QString& className);

// Whether a round the server refused will always be refused (a value it
// does not take), rather than failed for now (the server is down).
bool refusedForGood(const ServerConnection& server);

// Every round of the class `className` (every class when empty), oldest
// first, with its pupil, guesses and verdicts: the same rounds a record
// file gives (readRecord), read with the connection's role. `arrival` is
// where the next readNewRounds starts.
struct ServerRounds {
    bool ok = false;
    std::vector<RoundRecord> rounds;
    qint64 arrival = 0;      // the highest arrival number read
    std::set<qint64> recent; // those read near it, which a late round may fall between
};
ServerRounds readServerRounds(ServerConnection& server, const QString& className);
// The rounds that arrived since `since.arrival`, added to `since.rounds`
// once each (a round committed late, behind others, is found too).
bool readNewRounds(ServerConnection& server, const QString& className, ServerRounds& since);

// The rounds of the pupils named in the class, oldest first, those of
// nobody (an empty name) too when `unnamed`: what a chart or an export asks
// for when the window shows counts.
bool readPupilRounds(ServerConnection& server, const QString& className, const QStringList& pupils,
                     bool unnamed, std::vector<RoundRecord>& into);

// The text form of a PostgreSQL array of text, both ways.
QString textArrayLiteral(const QStringList& items);
QStringList parseTextArray(const QString& literal);

} // namespace quiltaro
