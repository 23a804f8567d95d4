#pragma once

#include "RoundState.h"

#include <string>

namespace quiltaro {

// How the rules judged one answer.
enum class Verdict { Outside, TooHigh, TooLow, Right };

// What happens in a game, told to whoever keeps a record of it. The rules and
// the windows call it; it must return at once and never draw, so that nothing
// it does can be seen in the game's pace. Slow work (writing to disk) is done
// elsewhere: the record hands each round, as it ends, to a thread of its own
// that writes it.
class RoundObserver {
public:
    virtual ~RoundObserver() = default;
    // "commencer": a game begins.
    virtual void gameStarted() {}
    // A new round stands on the line; the state holds its interval and red value.
    virtual void roundGenerated(const RoundState&) {}
    // One answer was judged; the state is as the judging left it.
    virtual void guessJudged(const RoundState&, const std::string& /*answer*/, Verdict) {}
    // The pupil gave up; the state's score is already back to 0.
    virtual void gaveUp(const RoundState&) {}
    // The farewell window opened: the game is over.
    virtual void gameEnded() {}
    // The program ends; nothing comes after this.
    virtual void programEnding() {}

    // The observer that notes nothing, for a game without a record.
    static RoundObserver& none() {
        static RoundObserver nothing;
        return nothing;
    }
};

} // namespace quiltaro
