#include "Pacer.h"

namespace quiltaro {

void Pacer::wait(Surface& surface, double seconds) {
    waitUntil(surface, seconds, Clock::Duration::zero());
}

void Pacer::waitMoreThan(Surface& surface, double seconds) {
    waitUntil(surface, seconds, Clock::Duration(1));
}

void Pacer::waitUntil(Surface& surface, double seconds, Clock::Duration extra) {
    surface.present();
    // timeMark tells the time of day the wait ends, but the deadline itself
    // lives on the monotonic clock: a float of seconds since midnight steps
    // by almost 8 ms late in the day and wraps at midnight.
    state_.timeMark = clock_.secondsSinceMidnight() + static_cast<float>(seconds);
    const auto deadline =
        clock_.now() + std::chrono::ceil<Clock::Duration>(std::chrono::duration<double>(seconds)) +
        extra;
    clock_.sleepUntil(deadline);
}

} // namespace quiltaro
