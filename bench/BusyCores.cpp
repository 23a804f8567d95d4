#include "BusyCores.h"

#include "BenchSupport.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

namespace quiltaro::bench {

BusyCores::BusyCores() {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < cores; ++i)
        if (const pid_t pid = spawn({self, "--busy"}); pid > 0)
            pids_.push_back(pid);
    // Until each has been scheduled once and competes for its share.
    sleepMs(200);
}

BusyCores::~BusyCores() {
    for (pid_t pid : pids_)
        stop(pid, SIGKILL);
}

void keepOneCoreBusy() {
    // Ends with the bench, however the bench ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1) // the bench ended before the line above
        _exit(0);
    volatile unsigned long n = 0;
    for (;;)
        n = n * 6364136223846793005UL + 1442695040888963407UL;
}

} // namespace quiltaro::bench
