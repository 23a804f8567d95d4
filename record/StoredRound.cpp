#include "StoredRound.h"

namespace quiltaro {

RoundRecord RoundReading::roundOf(const StoredRound& stored) {
    RoundRecord r;
    r.gameToken = stored.gameToken;
    r.pupil = stored.pupil;
    r.className = stored.className;
    r.started = roundTimes_.at(stored.started);
    r.ended = roundTimes_.at(stored.ended);
    // A game's rounds mostly come one after the other: its start is made once.
    if (!stored.gameStarted) {
        r.gameStarted = r.started;
    } else {
        if (stored.gameStarted != lastGameStartMs_) {
            lastGameStartMs_ = stored.gameStarted;
            lastGameStart_ = gameTimes_.at(*stored.gameStarted);
        }
        r.gameStarted = lastGameStart_;
    }
    r.scoreBefore = stored.scoreBefore;
    r.scoreAfter = stored.scoreAfter;
    r.lowBound = stored.lowBound;
    r.highBound = stored.highBound;
    r.redValue = static_cast<float>(stored.redValue);
    r.ending = endingFromName(stored.ending).value_or(Ending::ProgramEnd);
    r.kind = kindFromName(stored.kind);
    r.levels = levelsFromName(stored.levels);
    return r;
}

Guess RoundReading::guessOf(std::string answer, QAnyStringView verdict) {
    return {std::move(answer), verdictFromName(verdict).value_or(Verdict::Outside)};
}

} // namespace quiltaro
