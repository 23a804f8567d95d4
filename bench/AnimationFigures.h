#pragma once

// Whether the three animations keep their pace on the real clock.

#include "LiveGame.h"

#include <cmath>
#include <vector>

namespace quiltaro::bench {

struct Animation {
    const char* name;
    double nominal;
    std::vector<double> walls;
    double cpu = 0;
    Clock::Duration busy{}, busyOnCpu{}, late{}; // over all runs
    int waits = 0;
    long preemptions = 0;

    double ratio() const; // median wall time / nominal
    double perWaitUs(Clock::Duration d) const {
        return std::chrono::duration<double, std::micro>(d).count() / std::max(1, waits);
    }
};

struct Animations {
    Animation sweep{"sweep", 380 * 0.004, {}};
    Animation zoom{"zoom", 70 * 0.02 + 1.0 + 80 * 0.005, {}};
    Animation blink{"blink", 20 * 0.1, {}};
    double cpuRatio = NAN; // process CPU time over wall time, all runs together
};

// Each animation three times, on the real clock, from a freshly drawn round.
Animations measureAnimations(LiveGame& live);

// One line an animation: median wall / nominal, and per wait the work
// (drawing, presenting) and the late wake-up.
void printPaceDetails(const Animations& a, const char* label);

// `quiltaro_bench --pace`: the three ratios alone, quiet, then with every core
// busy, then full screen at 1920 x 1080 and 3840 x 2160, one a line.
int paceOnly(int argc, char** argv);

} // namespace quiltaro::bench
