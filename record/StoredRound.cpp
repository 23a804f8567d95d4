#include "StoredRound.h"

#include <type_traits>

namespace quiltaro {

namespace {

// A word as the store keeps it. The record's readers hand names over as
// Latin-1 views of SQLite's UTF-8, which is right for the words this version
// knows, not for another's (nor for the bytes of a damaged page).
QString storedWord(QAnyStringView word) {
    return word.visit([](auto view) {
        if constexpr (std::is_same_v<decltype(view), QLatin1StringView>)
            return QString::fromUtf8(view.data(), view.size());
        else
            return view.toString();
    });
}

} // namespace

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
    if (const std::optional<Ending> ending = endingFromName(stored.ending)) {
        r.ending = *ending;
    } else {
        r.ending = Ending::Unknown;
        r.unknown.words = std::make_shared<UnknownWords>();
        r.unknown.words->ending = storedWord(stored.ending);
    }
    r.kind = kindFromName(stored.kind);
    r.levels = levelsFromName(stored.levels);
    return r;
}

void RoundReading::addGuess(RoundRecord& round, std::string answer, QAnyStringView verdict) {
    round.guesses.push_back({std::move(answer), verdictFromName(verdict)});
    if (round.guesses.back().verdict)
        return;
    if (!round.unknown.words)
        round.unknown.words = std::make_shared<UnknownWords>();
    round.unknown.words->verdicts.emplace_back(round.guesses.size() - 1, storedWord(verdict));
}

} // namespace quiltaro
