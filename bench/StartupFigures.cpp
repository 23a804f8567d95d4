#include "StartupFigures.h"

#include "BenchSupport.h"
#include "FloorFigures.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

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

namespace {

// Where a point of a window's design lands when the window fills the screen:
// scaled to fit, centred.
struct FullScreenMap {
    double scale;
    int originX, originY;

    FullScreenMap(const XScreen& screen, int designW, int designH)
        : scale(std::min(static_cast<double>(screen.width()) / designW,
                         static_cast<double>(screen.height()) / designH)),
          originX((screen.width() - static_cast<int>(std::lround(designW * scale))) / 2),
          originY((screen.height() - static_cast<int>(std::lround(designH * scale))) / 2) {}
    int x(int designX) const { return originX + static_cast<int>(std::lround(designX * scale)); }
    int y(int designY) const { return originY + static_cast<int>(std::lround(designY * scale)); }
};

constexpr int welcomeW = 980, welcomeH = 569, gameW = 861, gameH = 568;
constexpr int farewellW = 887, farewellH = 576;

} // namespace

Playthrough playOneRound(const XScreen& screen, const std::string& game, bool fullScreen) {
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

    auto fillsScreen = [&] {
        const std::optional<Box> focused = screen.focusedWindow();
        return focused && focused->w == screen.width() && focused->h == screen.height();
    };
    bool driven = false;
    Box interval = gameInterval;
    if (!fullScreen) {
        driven = waitFor(10000, [&] { return welcomeDrawn(screen); }) &&
                 click(welcomeX + 688 + 104, welcomeY + 520 + 16);
    } else {
        driven = waitFor(10000, [&] { return screen.focusedWindow().has_value(); });
        pause(500);
        driven = driven && key("F11") && waitFor(5000, fillsScreen);
        pause(500);
        const FullScreenMap welcome(screen, welcomeW, welcomeH), board(screen, gameW, gameH);
        driven = driven && click(welcome.x(688 + 104), welcome.y(520 + 16));
        interval = Box{board.x(100), board.y(140), 10, 10};
    }
    driven = driven && waitFor(5000, [&] { return screen.count(interval, 0x00ffff) >= 80; });
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
    if (!fullScreen) {
        driven = driven && waitFor(5000, [&] {
                     farewell = screen.focusedWindow();
                     return farewell && farewell->w == farewellW && farewell->h == farewellH;
                 });
        if (driven) {
            pause(300);
            click(farewell->x + 752 + 16, farewell->y + 280 + 16);
        }
    } else if (driven) {
        pause(1000); // the farewell window, full screen over the game's
        const FullScreenMap map(screen, farewellW, farewellH);
        click(map.x(752 + 16), map.y(280 + 16));
    }
    int status = 0;
    rusage usage{};
    // The peak is read until the very end: the round is written to the
    // record as the game ends.
    result.ended = driven && waitFor(5000, [&] {
                       result.vmHwmKb = std::max(result.vmHwmKb, peakRssKb(pid));
                       return wait4(pid, &status, WNOHANG, &usage) == pid;
                   });
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

int memoryOnly(int argc, char** argv) {
    const bool fullScreen = argc > 2 && std::string(argv[2]) == "--full-screen";
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string game =
        (self.parent_path() / ".." / "windows" / "quiltaro").lexically_normal().string();
    const XScreen screen;
    if (!screen.ok())
        return 2;
    const Playthrough play = playOneRound(screen, game, fullScreen);
    const std::string name = fullScreen ? "startup_rss_kb_" + std::to_string(screen.width()) + "x" +
                                              std::to_string(screen.height())
                                        : "startup_rss_kb";
    std::printf("%s %ld kB\n", name.c_str(), play.vmHwmKb);
    std::fprintf(stderr, "%s: ru_maxrss %ld kB, VmHWM %ld kB%s%s\n", name.c_str(), play.maxRssKb,
                 play.vmHwmKb, play.note.empty() ? "" : "; ", play.note.c_str());
    std::printf("floor_rss_kb%s %ld kB\n", name.c_str() + std::strlen("startup_rss_kb"),
                floorPeakKb(fullScreen));
    return 0;
}

} // namespace quiltaro::bench
