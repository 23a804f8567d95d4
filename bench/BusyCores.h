#pragma once

// Every core of the machine kept busy, as on a school computer where a browser
// tab, an update or another session runs beside the game.

#include <sys/types.h>

#include <vector>

namespace quiltaro::bench {

// Starts one CPU-bound process a core (this bench run with --busy) and ends
// them when it goes out of scope. They also end if the bench dies.
class BusyCores {
public:
    BusyCores();
    ~BusyCores();
    BusyCores(const BusyCores&) = delete;
    BusyCores& operator=(const BusyCores&) = delete;

    int count() const { return static_cast<int>(pids_.size()); }

private:
    std::vector<pid_t> pids_;
};

// The body of `quiltaro_bench --busy`: computes until it is killed.
[[noreturn]] void keepOneCoreBusy();

} // namespace quiltaro::bench
