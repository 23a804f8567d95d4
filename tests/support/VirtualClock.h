#pragma once

#include "Clock.h"

#include <cstdint>
#include <functional>

namespace quiltaro::test {

// A clock whose waits take no real time: sleeping moves the virtual time to
// the deadline at once, so a whole game plays in milliseconds and every wait
// can be counted and measured.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(double startSecondsSinceMidnight = 9 * 3600.0)
        : start_(startSecondsSinceMidnight) {}

    TimePoint now() override { return TimePoint(elapsed_); }
    void sleepUntil(TimePoint deadline) override {
        ++sleeps_;
        if (onSleep)
            onSleep(deadline.time_since_epoch() - elapsed_);
        if (deadline.time_since_epoch() > elapsed_)
            elapsed_ = deadline.time_since_epoch();
    }
    float secondsSinceMidnight() override {
        double seconds = start_ + std::chrono::duration<double>(elapsed_).count();
        seconds -= 86400.0 * static_cast<std::int64_t>(seconds / 86400.0);
        return static_cast<float>(seconds);
    }
    std::uint64_t timeSeed() override {
        return static_cast<std::uint64_t>(elapsed_.count()) + seed_;
    }

    void setSeedOffset(std::uint64_t seed) { seed_ = seed; }
    int sleeps() const { return sleeps_; }
    // Called at every wait with its length, before time moves on.
    std::function<void(Duration)> onSleep;

    double seconds() const { return std::chrono::duration<double>(elapsed_).count(); }

private:
    double start_;
    Duration elapsed_{0};
    int sleeps_ = 0;
    std::uint64_t seed_ = 0;
};

} // namespace quiltaro::test
