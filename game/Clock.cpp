#include "Clock.h"

#include <algorithm>
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
    // The kernel wakes a sleeper late: some 50 us on an idle machine, 200 us
    // and more on a busy one, and 380 such delays stretch a sweep by 5 %.
    // So the sleep ends a little early, by about how late the last ones
    // woke, and the rest, a fraction of a millisecond, is waited out
    // reading the clock. The processor stays free for all but that
    // fraction of each frame.
    const TimePoint wake = deadline - wakeMargin_;
    if (now() < wake) {
        std::this_thread::sleep_until(wake);
        const Duration late = std::max(Duration::zero(), now() - wake);
        // Follows the lateness seen, rising fast and settling slowly, within
        // bounds that keep the reading of the clock short.
        const Duration target = std::clamp(late + late / 2, minimumMargin, maximumMargin);
        wakeMargin_ = target > wakeMargin_ ? target : (wakeMargin_ * 7 + target) / 8;
    }
    // Never shorter than asked, even if a signal woke the sleep early.
    while (now() < deadline)
        std::this_thread::yield();
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
