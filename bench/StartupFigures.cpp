#include "StartupFigures.h"

#include "BenchSupport.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>

namespace quiltaro::bench {

std::optional<double> startupOnce(const XScreen& screen, const std::string& game) {
    if (!waitFor(3000, [&] { return !welcomeDrawn(screen); }))
        return std::nullopt;
    const auto start = Steady::now();
    const pid_t pid = spawn({game});
    if (pid <= 0)
        return std::nullopt;
    // One small image read per millisecond: a fraction of a core for the X
    // server, against the game's own start-up.
    const bool shown = waitFor(10000, [&] { return welcomeDrawn(screen); });
    const double ms = msSince(start);
    stop(pid, SIGKILL);
    return shown ? std::optional(ms) : std::nullopt;
}

Playthrough playOneRound(const XScreen& screen, const std::string& game) {
    Playthrough result;
    const pid_t pid = spawn({game});
    if (pid <= 0) {
        result.note = "could not start the game";
        return result;
    }
    auto pause = [&](double ms) {
        sleepMs(ms);
        result.vmHwmKb = std::max(result.vmHwmKb, peakRssKb(pid));
    };
    auto click = [](int x, int y) {
        return run(
            {"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
    };
    auto key = [](const char* name) { return run({"xdotool", "key", name}); };

    bool driven = waitFor(10000, [&] { return welcomeDrawn(screen); });
    driven = driven && click(welcomeX + 688 + 104, welcomeY + 520 + 16);
    driven = driven && waitFor(5000, [&] { return screen.count(gameInterval, 0x00ffff) >= 80; });
    if (driven) {
        pause(300);
        driven = run({"xdotool", "type", "--delay", "30", "500"}) && key("Return");
        pause(1500); // a sweep of up to 190 points
        // With nothing typed, Return zooms when the magnifier is shown and
        // does nothing otherwise.
        driven = driven && key("Return");
        pause(3500);
        driven = driven && key("Escape"); // gives up: the round is over
        pause(500);
        driven = driven && key("Escape"); // the farewell window
    }
    std::optional<Box> farewell;
    driven = driven && waitFor(5000, [&] {
                 farewell = screen.focusedWindow();
                 return farewell && farewell->w == 887 && farewell->h == 576;
             });
    if (driven) {
        pause(300);
        click(farewell->x + 752 + 16, farewell->y + 280 + 16);
    }
    int status = 0;
    rusage usage{};
    result.ended =
        driven && waitFor(5000, [&] { return wait4(pid, &status, WNOHANG, &usage) == pid; });
    if (!result.ended) {
        result.note = driven ? "the farewell arrow did not end the game; ended by SIGTERM"
                             : "driving the game failed; ended by SIGTERM";
        result.vmHwmKb = std::max(result.vmHwmKb, peakRssKb(pid));
        kill(pid, SIGTERM);
        wait4(pid, &status, 0, &usage);
    }
    result.maxRssKb = usage.ru_maxrss;
    return result;
}

} // namespace quiltaro::bench
