#include "FloorFigures.h"

#include "BenchSupport.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace quiltaro::bench {

long floorPeakKb(bool fullScreen) {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    std::vector<std::string> args = {(self.parent_path() / "qt_floor").string()};
    if (fullScreen)
        args.push_back("--full-screen");
    const pid_t pid = spawn(args);
    if (pid <= 0)
        return 0;
    long peak = 0;
    int status = 0;
    const bool ended = waitFor(10000, [&] {
        peak = std::max(peak, peakRssKb(pid));
        return waitpid(pid, &status, WNOHANG) == pid;
    });
    if (!ended) {
        stop(pid, SIGKILL);
        return 0;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? peak : 0;
}

} // namespace quiltaro::bench
