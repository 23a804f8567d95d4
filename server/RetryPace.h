#pragma once

#include <chrono>
#include <cstdint>
#include <random>

namespace quiltaro {

// How long a client of the class's server waits before trying again after a
// failure: a second, then twice as long after each failure in a row, up to a
// minute, each wait drawn up to a fifth shorter or longer, so that the
// computers of a room that lost the server together do not come back
// together. A success starts again from the shortest wait. A refusing, stopped
// or full server thus hears from each computer a handful of times a minute.
class RetryPace {
public:
    static constexpr std::chrono::milliseconds shortest{1000};
    static constexpr std::chrono::milliseconds longest{60000};

    // The seed is the random source's: the computer's own at random, or a
    // fixed one where a test wants the same waits again.
    explicit RetryPace(std::uint32_t seed) : random_(seed) {}

    // A try failed: the wait before the next.
    std::chrono::milliseconds failed();
    void succeeded() { failures_ = 0; }
    int failures() const { return failures_; }

private:
    int failures_ = 0;
    std::minstd_rand random_;
};

} // namespace quiltaro
