#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace quiltaro {

// Time comes into the game through this interface so that tests can run a
// whole game on a virtual clock in milliseconds.
class Clock {
public:
    using Duration = std::chrono::nanoseconds;
    // A point on a monotonic time line: it never jumps back, not at midnight
    // and not when the system time is set, and keeps its precision all day.
    using TimePoint = std::chrono::time_point<std::chrono::steady_clock, Duration>;

    virtual ~Clock() = default;
    virtual TimePoint now() = 0;
    // Returns once now() has reached the deadline; never earlier.
    virtual void sleepUntil(TimePoint deadline) = 0;
    // The time of day in seconds since midnight, as the game shows it in its
    // record; only informative, since it wraps at midnight.
    virtual float secondsSinceMidnight() = 0;
    // A seed drawn from the time of day, at the clock's full resolution.
    virtual std::uint64_t timeSeed() = 0;
};

// The real clock: std::chrono::steady_clock for every deadline, the system
// clock only for the time of day.
class SystemClock final : public Clock {
public:
    // Waits are to be asked of the thread that makes the clock (the
    // user-interface thread): what the clock learns of how that thread is
    // served is what decides how it waits.
    SystemClock();
    ~SystemClock() override;
    SystemClock(const SystemClock&) = delete;
    SystemClock& operator=(const SystemClock&) = delete;

    TimePoint now() override;
    // Sleeps instead of reading the clock in a loop: the pause is as long,
    // but an animation does not hold a processor core while it waits.
    void sleepUntil(TimePoint deadline) override;
    float secondsSinceMidnight() override;
    std::uint64_t timeSeed() override;

private:
    // How long the clock's thread has waited for a processor, runnable,
    // since it last asked; zero where the kernel does not say.
    Duration queuedSinceLastWait();
    // The kernel's total of that waiting, or nothing.
    std::optional<Duration> queuedInAll() const;

    static constexpr Duration minimumMargin = std::chrono::microseconds(30);
    static constexpr Duration maximumMargin = std::chrono::microseconds(100);
    // Above this much queueing a wait, on average, another program competes
    // for the processor. Alone, a thread waits a few microseconds a wait; beside
    // a program that computes, hundreds.
    static constexpr Duration sharedCore = std::chrono::microseconds(50);
    Duration wakeMargin_ = std::chrono::microseconds(100);
    Duration queued_{};
    Duration queuedAverage_{};
    int schedstat_ = -1; // the kernel's account of the clock's thread
};

} // namespace quiltaro
