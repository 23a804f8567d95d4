#pragma once

// Start-up time and memory of the real program, watched from outside through
// the X server and driven with xdotool.

#include "XScreen.h"

#include <optional>
#include <string>

namespace quiltaro::bench {

// From the launch of the game to the welcome illustration on the screen.
std::optional<double> startupOnce(const XScreen& screen, const std::string& game);

struct Playthrough {
    long maxRssKb = 0;  // ru_maxrss, from wait4
    long vmHwmKb = 0;   // VmHWM, read until the game ended: the true peak
    bool ended = false; // ended by its own farewell arrow
    std::string note;
};

// Plays one round as a pupil would: commencer, a guess that sweeps, the zoom,
// give up, farewell, arrow. Nothing is read from the game but its pixels on
// the screen and which window has the focus. At design size the screen has
// no window manager; full screen (F11 on the welcome window, the others
// opening full screen after it) needs one.
Playthrough playOneRound(const XScreen& screen, const std::string& game, bool fullScreen = false);

// `quiltaro_bench --memory [--full-screen]`: the peak memory of one round
// alone, named startup_rss_kb, or startup_rss_kb_WxH full screen.
int memoryOnly(int argc, char** argv);

} // namespace quiltaro::bench
