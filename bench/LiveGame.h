#pragma once

// The real program with its windows on the screen, linked into the bench and
// run on the real clock, for the frame and animation figures.

#include "Clock.h"
#include "GameWindow.h"
#include "Program.h"
#include "Random.h"

#include <functional>

namespace quiltaro::bench {

// Runs Qt's events for so long, or until done() holds (false on timeout).
void settle(double ms);
bool settleUntil(double timeoutMs, const std::function<bool()>& done);

// The real clock, noting how long the game works between two sleeps, how much
// of that it spent on the processor and how often the scheduler took the
// processor from it meanwhile, and how late each sleep wakes up.
class WatchedClock final : public Clock {
public:
    TimePoint now() override { return real_.now(); }
    void sleepUntil(TimePoint deadline) override;
    float secondsSinceMidnight() override { return real_.secondsSinceMidnight(); }
    std::uint64_t timeSeed() override { return real_.timeSeed(); }
    void restart();

    Duration busy{}, busyOnCpu{}, late{};
    int sleeps = 0;
    long preemptions = 0;

private:
    SystemClock real_;
    TimePoint awake_ = real_.now();
    Duration cpuAwake_{};
    long preemptedAwake_ = 0;
};

// The game window open, active and exposed.
struct LiveGame {
    WatchedClock clock;
    SeededUniformSource random;
    Program program{clock, random, [] {}};
    GameWindow* window = nullptr;

    LiveGame();

    RoundState& s() { return program.state(); }
    GameBoard& board() { return window->board(); }
    Surface& surface() { return board().surface(); }

    // A fresh round drawn whole, on the scale low..high with the brackets at
    // lowX and highX.
    void drawRound(double lowBound, double highBound, float red, double lowX = 50,
                   double highX = 430);
};

} // namespace quiltaro::bench
