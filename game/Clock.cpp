#include "Clock.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <thread>

#ifdef __linux__
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>
#endif

namespace quiltaro {

namespace {

// Sleeps until `wake` on the monotonic clock, through any signal.
void sleepTo(Clock::TimePoint wake) {
#ifdef __linux__
    // An absolute deadline on the clock steady_clock reads: no drift between
    // computing the pause and starting it.
    const auto since = wake.time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(since);
    timespec at{};
    at.tv_sec = static_cast<time_t>(seconds.count());
    at.tv_nsec = static_cast<long>((since - seconds).count());
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
#else
    std::this_thread::sleep_until(wake);
#endif
}

} // namespace

Clock::TimePoint SystemClock::now() {
    return std::chrono::time_point_cast<Duration>(std::chrono::steady_clock::now());
}

SystemClock::SystemClock() {
#ifdef __linux__
    // Its second number is the time the thread has spent runnable but not
    // running, in nanoseconds, since it started; only what follows counts.
    schedstat_ = open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    queued_ = queuedInAll().value_or(Duration::zero());
#endif
}

SystemClock::~SystemClock() {
#ifdef __linux__
    if (schedstat_ >= 0)
        close(schedstat_);
#endif
}

std::optional<Clock::Duration> SystemClock::queuedInAll() const {
#ifdef __linux__
    char text[96];
    const ssize_t length = schedstat_ < 0 ? -1 : pread(schedstat_, text, sizeof text - 1, 0);
    if (length <= 0)
        return std::nullopt;
    text[length] = '\0';
    unsigned long long queued = 0;
    if (std::sscanf(text, "%*s %llu", &queued) != 1)
        return std::nullopt;
    return Duration{static_cast<Duration::rep>(queued)};
#else
    return std::nullopt;
#endif
}

Clock::Duration SystemClock::queuedSinceLastWait() {
    const std::optional<Duration> total = queuedInAll();
    if (!total)
        return Duration::zero();
    const Duration since = std::max(Duration::zero(), *total - queued_);
    queued_ = *total;
    return since;
}

void SystemClock::sleepUntil(TimePoint deadline) {
#ifdef __linux__
    // The kernel may let a sleep overrun by its timer slack (50 us by
    // default), which adds up over the 380 frames of a long sweep.
    static const bool slackSet = [] { return prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0; }();
    (void)slackSet;
#endif
    // Beside a program that computes, the processor is shared, and the
    // kernel shares it by the time each has used: a thread that reads the
    // clock to the deadline spends, every frame, the turn that lets it run
    // as soon as its sleep ends. Once that is spent, a wait ends when the
    // other program's time slice does, up to 4 ms late, one frame in twelve
    // of a sweep. So on a shared core the wait sleeps to the deadline itself:
    // some 50 us late a frame, but never a whole slice.
    queuedAverage_ = (queuedAverage_ * 7 + queuedSinceLastWait()) / 8;
    const bool shared = queuedAverage_ > sharedCore;
    if (shared && now() < deadline)
        sleepTo(deadline);
    // Alone on its core, the kernel wakes a sleeper late, some 50 us, and 380
    // such delays stretch a sweep by 2 %. So the sleep ends a little early,
    // by about how late the last ones woke, and the rest is waited out
    // reading the clock. That rest is short (at most maximumMargin) and never
    // gives the processor away: a thread that yields waits a whole time slice
    // before it runs again, while one that has just woken from a sleep
    // usually runs at once.
    const TimePoint wake = deadline - wakeMargin_;
    if (!shared && now() < wake) {
        sleepTo(wake);
        const Duration late = std::max(Duration::zero(), now() - wake);
        // Follows the lateness seen, rising fast and settling slowly, within
        // bounds that keep the reading of the clock short.
        const Duration target = std::clamp(late + late / 2, minimumMargin, maximumMargin);
        wakeMargin_ = target > wakeMargin_ ? target : (wakeMargin_ * 7 + target) / 8;
    }
    // Never shorter than asked.
    while (now() < deadline) {
    }
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
