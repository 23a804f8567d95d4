#pragma once

#include "Clock.h"
#include "RoundState.h"
#include "Surface.h"

namespace quiltaro {

// The waits of the animations. A wait first puts the frame on the screen,
// then sleeps until its deadline on the monotonic clock. Sleeping rather than
// reading the clock in a loop is deliberate: every minimum pause is kept (a
// wait never ends before its deadline, and "more than" stays strict), and the
// animation leaves the processor free; only the last fraction of a
// millisecond, the kernel's usual wake-up lateness, is waited out on the
// clock, and not even that on a core another program keeps busy (see
// SystemClock). No event is handled meanwhile: keys and clicks wait in the
// queue until the reaction returns.
class Pacer {
public:
    Pacer(Clock& clock, RoundState& state) : clock_(clock), state_(state) {}

    // Shows what the surface has drawn, then waits at least `seconds`.
    void wait(Surface& surface, double seconds);
    // The same, but the wait lasts strictly more than `seconds`.
    void waitMoreThan(Surface& surface, double seconds);

    Clock& clock() { return clock_; }

private:
    void waitUntil(Surface& surface, double seconds, Clock::Duration extra);

    Clock& clock_;
    RoundState& state_;
};

} // namespace quiltaro
