#include "Clock.h"

#include <ctime>
#include <thread>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace quiltaro {

Clock::TimePoint SystemClock::now() {
    return std::chrono::time_point_cast<Duration>(std::chrono::steady_clock::now());
}

void SystemClock::sleepUntil(TimePoint deadline) {
#ifdef __linux__
    // The kernel may let a sleep overrun by its timer slack (50 us by
    // default), which adds up over the 380 frames of a long sweep.
    static const bool slackSet = [] { return prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0; }();
    (void)slackSet;
#endif
    // sleep_until may wake early on a signal; loop until the deadline is
    // really behind us, so that a wait is never shorter than asked.
    while (now() < deadline)
        std::this_thread::sleep_until(deadline);
}

float SystemClock::secondsSinceMidnight() {
    using namespace std::chrono;
    auto wall = system_clock::now();
    std::time_t t = system_clock::to_time_t(wall);
    std::tm local{};
    localtime_r(&t, &local);
    auto fraction = duration<double>(wall - system_clock::from_time_t(t)).count();
    return static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + fraction);
}

std::uint64_t SystemClock::timeSeed() {
    return static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

} // namespace quiltaro
