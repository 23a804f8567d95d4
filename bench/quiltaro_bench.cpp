// Measures the game on the real X display it runs on: the cost of one sweep
// frame, whether the animations keep their pace, how soon the welcome window
// shows and how much memory a short game takes.
//
//   quiltaro_bench [path/to/quiltaro]
//   quiltaro_bench --frames | --pace     the frame figures or the pace alone
//   quiltaro_bench --memory [--full-screen]   the peak memory of one round
//   quiltaro_bench --server               the class on a server of its own
//   quiltaro_bench --record [path/to/quiltaro]   the record and the results window
//
// Prints one figure a line ("name value unit"), then a table. The start-up and
// memory figures come from the real executable, watched from outside through
// the X server and driven with xdotool; the frame and animation figures come
// from the game's own windows, linked in and run on the real clock. Each
// figure is measured in a file of its own; this one runs them in order and
// prints them.

#include "AnimationFigures.h"
#include "BenchSupport.h"
#include "BusyCores.h"
#include "FloorFigures.h"
#include "FrameFigures.h"
#include "LargeScreens.h"
#include "RecordFigures.h"
#include "RecordStall.h"
#include "ServerFigures.h"
#include "StartupFigures.h"
#include "XScreen.h"
#include "YearFigures.h"

#include <QApplication>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace quiltaro;
using namespace quiltaro::bench;

namespace {

struct Figure {
    std::string name;
    double value;
    std::string unit;
    double target; // NAN: reported, not judged
    int decimals;
};

void printFigures(const std::vector<Figure>& figures) {
    for (const Figure& f : figures)
        std::printf("%s %s %s\n", f.name.c_str(), fixed(f.value, f.decimals).c_str(),
                    f.unit.c_str());

    std::printf("\n%-18s %12s %-6s %10s  %s\n", "figure", "value", "unit", "target", "");
    for (const Figure& f : figures) {
        const bool judged = !std::isnan(f.target);
        const std::string target = judged ? "<= " + fixed(f.target, f.decimals > 1 ? 2 : 0) : "";
        std::printf("%-18s %12s %-6s %10s  %s\n", f.name.c_str(),
                    fixed(f.value, f.decimals).c_str(), f.unit.c_str(), target.c_str(),
                    !judged               ? ""
                    : f.value <= f.target ? "ok"
                                          : "MISS");
    }
}

std::string findGame(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--", 0) != 0)
            return argv[i];
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / ".." / "app" / "quiltaro").lexically_normal().string();
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--busy")
        keepOneCoreBusy();
    // The figures are about the real X display, whatever the shell exported.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The windows below are drawn as the game's own main sets Qt up; the
    // processes started from here inherit it too.
    Program::configurePlatform();
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "quiltaro_bench: no DISPLAY (bench.sh starts an Xvfb)\n");
        return 2;
    }
    if (argc > 1 && std::string(argv[1]) == "--frames")
        return framesOnly(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "--pace")
        return paceOnly(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "--memory")
        return memoryOnly(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "--server")
        return serverOnly(argc, argv, findGame(argc, argv));
    if (argc > 1 && std::string(argv[1]) == "--record")
        return recordOnly(argc, argv, findGame(argc, argv));

    // The games played here keep their record in a folder of the bench's own.
    QTemporaryDir benchData;
    setenv("XDG_DATA_HOME", benchData.path().toLocal8Bit().constData(), 1);

    const std::string game = findGame(argc, argv);
    if (access(game.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "quiltaro_bench: no game at %s\n", game.c_str());
        return 2;
    }
    std::vector<std::string> notes;

    // 1. Start-up and memory, first, while this process is still small: a
    //    child's ru_maxrss starts from what its parent had when it was spawned.
    std::vector<double> startups;
    Playthrough play;
    long floorKb = 0;
    int screenW = 0, screenH = 0;
    {
        XScreen screen;
        if (!screen.ok()) {
            std::fprintf(stderr, "quiltaro_bench: cannot read a 24-bit screen\n");
            return 2;
        }
        screenW = screen.width(), screenH = screen.height();
        std::fprintf(stderr, "start-up...\n");
        startupOnce(screen, game); // fills the page cache and font caches
        for (int i = 0; i < 7; ++i)
            if (auto ms = startupOnce(screen, game))
                startups.push_back(*ms);
        if (startups.size() < 7)
            notes.push_back(std::to_string(7 - startups.size()) +
                            " start-up runs never showed the red mark");
        std::fprintf(stderr, "one round driven with xdotool...\n");
        play = playOneRound(screen, game);
        if (!play.note.empty())
            notes.push_back(play.note);
        std::fprintf(stderr, "the floor: Qt with the same windows, fonts and pictures...\n");
        floorKb = floorPeakKb(false);
    }

    // 2. Frames at device pixel ratio 2, in a process of their own.
    std::fprintf(stderr, "frames at ratio 2...\n");
    std::map<std::string, double> frame2x = framesAtRatio2();
    if (frame2x["frame_dpr"] != 2)
        notes.push_back("the ratio-2 run got device pixel ratio " + fixed(frame2x["frame_dpr"], 2));
    if (!frame2x.count("frame_median_us"))
        notes.push_back("the ratio-2 run printed no frame time");
    if ((frame2x["frame_width"] + gameX) * 2 > screenW ||
        (frame2x["frame_height"] + gameY) * 2 > screenH)
        notes.push_back("the ratio-2 game window does not fit on the screen");

    // 3. Frames at ratio 1 and the three animations, in this process.
    QApplication app(argc, argv);
    std::fprintf(stderr, "frames at ratio 1...\n");
    LiveGame live;
    const FrameFigures frames = measureFrames(live, 200, 2000);
    if (frames.widthPx != 861 || frames.heightPx != 568)
        notes.push_back("the game window is " + std::to_string(frames.widthPx) + " x " +
                        std::to_string(frames.heightPx));

    std::fprintf(stderr, "animations...\n");
    const Animations anim = measureAnimations(live);
    std::fprintf(stderr, "animations with every core busy...\n");
    Animations loaded;
    int busyCores = 0;
    {
        BusyCores busy;
        busyCores = busy.count();
        loaded = measureAnimations(live);
    }
    std::fprintf(stderr, "animations full screen at 1920 x 1080 and 3840 x 2160...\n");
    const bench::LargeScreenPaces large = bench::measureLargeScreens(live);

    // 4. The record, once the animations are measured: nothing else runs.
    std::fprintf(stderr, "the record...\n");
    QTemporaryDir recordDir;
    const double recordWriteUs = measureRecordWrite(recordDir.filePath("write.sqlite"));
    const double resultsOpenMs = measureResultsOpen(game, recordDir.filePath("home"), resultsGames);
    const double recordStallMs = measureRecordStall(recordDir.path(), 100000);
    std::fprintf(stderr, "the results window on a school year...\n");
    const double yearOpenMs = measureYearOpen(game, recordDir.filePath("year"));

    // 5. The class on a server of the bench's own.
    const ServerFigures server = measureServer(live);
    const double serverYearOpenMs = measureServerYearOpen(game);

    // One line a figure: name, value, unit, target (NAN when only reported),
    // decimals.
    printFigures({
        {"frame_median_us", frames.medianUs, "us", 250, 1},
        {"frame_p99_us", frames.p99Us, "us", NAN, 1},
        {"frame2x_median_us", frame2x.count("frame_median_us") ? frame2x["frame_median_us"] : NAN,
         "us", 250, 1},
        {"sweep_ratio", anim.sweep.ratio(), "ratio", 1.03, 4},
        {"zoom_ratio", anim.zoom.ratio(), "ratio", 1.03, 4},
        {"blink_ratio", anim.blink.ratio(), "ratio", 1.03, 4},
        {"sweep_ratio_loaded", loaded.sweep.ratio(), "ratio", 1.06, 4},
        {"zoom_ratio_loaded", loaded.zoom.ratio(), "ratio", 1.06, 4},
        {"blink_ratio_loaded", loaded.blink.ratio(), "ratio", 1.06, 4},
        {"sweep_ratio_1080p", large.hd.sweep(), "ratio", 1.03, 4},
        {"zoom_ratio_1080p", large.hd.zoom(), "ratio", 1.03, 4},
        {"blink_ratio_1080p", large.hd.blink(), "ratio", 1.03, 4},
        {"sweep_ratio_4k", large.uhd.sweep(), "ratio", 1.05, 4},
        {"zoom_ratio_4k", large.uhd.zoom(), "ratio", 1.05, 4},
        {"blink_ratio_4k", large.uhd.blink(), "ratio", 1.05, 4},
        {"anim_cpu_ratio", anim.cpuRatio, "ratio", 0.10, 4},
        {"startup_ms", median(startups), "ms", 150, 1},
        {"startup_rss_kb", static_cast<double>(play.vmHwmKb), "kB", 46000, 0},
        {"floor_rss_kb", static_cast<double>(floorKb), "kB", NAN, 0},
        {"record_write_us", recordWriteUs, "us", NAN, 1},
        {"results_open_ms", resultsOpenMs, "ms", 300, 1},
        {"record_stall_max_ms", recordStallMs, "ms", 20, 2},
        {"results_open_year_ms", yearOpenMs, "ms", 500, 1},
        {"server_send_ms", server.sendMs, "ms", NAN, 3},
        {"server_burst_rounds_per_s", server.burstPerSecond, "1/s", NAN, 0},
        {"sweep_ratio_no_server", server.sweepRatioAlone, "ratio", 1.03, 4},
        {"sweep_ratio_server_up", server.sweepRatioUp, "ratio", 1.03, 4},
        {"sweep_ratio_server_stopped", server.sweepRatioStopped, "ratio", 1.03, 4},
        {"class_read_1m_ms", server.classReadMs, "ms", NAN, 0},
        {"results_open_server_ms", serverYearOpenMs, "ms", 500, 1},
    });

    std::printf("\nframes: 2000 after 200 of warm-up, 4 ms apart, %d x %d window; median of the"
                " drawing alone %.1f us at ratio %.0f, %.1f us at ratio 2; ratio 2 p99 %.1f us\n",
                frames.widthPx, frames.heightPx, frames.drawingUs, frames.ratio,
                frame2x["frame_drawing_us"], frame2x["frame_p99_us"]);
    std::printf("animations, 3 runs each: median wall / nominal, and per wait the work"
                " (drawing, presenting) and the late wake-up; quiet, then with %d CPU-bound"
                " processes",
                busyCores);
    std::printf("\n");
    printPaceDetails(anim, "");
    printPaceDetails(loaded, ", loaded");
    std::printf("start-up: %zu runs, min %.1f ms, max %.1f ms, screen %d x %d\n", startups.size(),
                startups.empty() ? NAN : *std::min_element(startups.begin(), startups.end()),
                startups.empty() ? NAN : *std::max_element(startups.begin(), startups.end()),
                screenW, screenH);
    std::printf("record: the answer that ends a round of 8 guesses, median of 300; results"
                " window from `quiltaro --results` to painted, %d generated games, median of 5\n",
                resultsGames);
    std::printf("memory: ru_maxrss %ld kB, VmHWM %ld kB, %s\n", play.maxRssKb, play.vmHwmKb,
                play.ended ? "ended by the farewell arrow" : "ended by SIGTERM");
    for (const std::string& note : notes)
        std::printf("note: %s\n", note.c_str());
    return 0;
}
