#pragma once

#include "LocalTimes.h"
#include "RecordStore.h"

#include <QAnyStringView>
#include <QDateTime>
#include <QString>

#include <optional>
#include <string>

namespace quiltaro {

// A round as a store keeps it (the record's tables, a file of rounds kept
// beside the record, the class's server): times in milliseconds since the
// epoch, the ending and the verdicts by name. Every reader makes its rounds
// through RoundReading, so that what a store lacks or does not know reads
// the same from all of them.
struct StoredRound {
    QString gameToken;
    QString pupil;                     // empty in rounds from before pupils had names
    QString className;                 // empty in rounds from before classes had names
    std::optional<qint64> gameStarted; // unknown when the game's row was lost
    qint64 started = 0;
    qint64 ended = 0;
    int scoreBefore = 0;
    int scoreAfter = 0;
    double lowBound = 0;
    double highBound = 0;
    double redValue = 0;
    // A view: the name need only live until the round is made.
    QAnyStringView ending;
    // The kind of number played and the levels set, by name; empty when the
    // store had none (rounds from before levels).
    QString kind;
    QString levels;
};

// Makes rounds of stored rounds, in local time. The offsets and the game's
// start are kept from one round to the next: one reading for all the rounds
// of a store.
class RoundReading {
public:
    // A game whose start is unknown started with the round. An ending this
    // version does not know (a newer one stored it) is Ending::Unknown, its
    // word kept with the round.
    RoundRecord roundOf(const StoredRound& stored);
    // Adds a guess to the round; a verdict this version does not know is
    // none, its word kept with the round.
    static void addGuess(RoundRecord& round, std::string answer, QAnyStringView verdict);

private:
    LocalTimes gameTimes_, roundTimes_;
    std::optional<qint64> lastGameStartMs_;
    QDateTime lastGameStart_;
};

} // namespace quiltaro
