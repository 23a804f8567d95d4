#include "AnimationFigures.h"

#include "BenchSupport.h"
#include "BusyCores.h"
#include "LargeScreens.h"

#include <QApplication>

#include <cstdio>

namespace quiltaro::bench {

namespace {

void timeAnimation(LiveGame& live, Animation& a, const std::function<void()>& prepare,
                   const std::function<void()>& play) {
    prepare();
    const double cpu = cpuSeconds();
    const auto start = Steady::now();
    live.clock.restart();
    play();
    a.walls.push_back(msSince(start) / 1000);
    a.cpu += cpuSeconds() - cpu;
    a.busy += live.clock.busy, a.busyOnCpu += live.clock.busyOnCpu, a.late += live.clock.late;
    a.waits += live.clock.sleeps, a.preemptions += live.clock.preemptions;
    settle(50);
}

} // namespace

double Animation::ratio() const {
    return median(walls) / nominal;
}

Animations measureAnimations(LiveGame& live) {
    Animations a;
    RoundState& s = live.s();
    for (int i = 0; i < 3; ++i) {
        timeAnimation(
            live, a.sweep, [&] { live.drawRound(0, 1000, 700), s.typedAnswer = "1000"; },
            [&] { live.board().sweepLowBound(); });
        timeAnimation(
            live, a.zoom, [&] { live.drawRound(500, 1000, 700, 240, 430); },
            [&] { live.board().magnifierZoom(); });
        timeAnimation(
            live, a.blink, [&] { live.drawRound(0, 1000, 700); },
            [&] { live.board().blinkOutOfInterval(); });
    }
    double wall = 0, cpu = 0;
    for (const Animation* one : {&a.sweep, &a.zoom, &a.blink}) {
        for (double w : one->walls)
            wall += w;
        cpu += one->cpu;
    }
    a.cpuRatio = cpu / wall;
    return a;
}

void printPaceDetails(const Animations& run, const char* label) {
    for (const Animation* a : {&run.sweep, &run.zoom, &run.blink})
        std::printf("  %-5s %.3f s / %.2f s, %d waits: %.0f us work (%.0f on the processor, "
                    "%.2f preemptions), %.0f us late%s\n",
                    a->name, median(a->walls), a->nominal, a->waits / 3, a->perWaitUs(a->busy),
                    a->perWaitUs(a->busyOnCpu), a->waits ? double(a->preemptions) / a->waits : 0.0,
                    a->perWaitUs(a->late), label);
}

int paceOnly(int argc, char** argv) {
    QApplication app(argc, argv);
    LiveGame live;
    const Animations quiet = measureAnimations(live);
    const Animations loaded = [&] {
        BusyCores busy;
        return measureAnimations(live);
    }();
    const LargeScreenPaces large = measureLargeScreens(live);
    for (const auto& [a, suffix] :
         {std::pair(&quiet, ""), std::pair(&loaded, "_loaded"),
          std::pair(&large.hd.animations, "_1080p"), std::pair(&large.uhd.animations, "_4k")})
        std::printf("sweep_ratio%s %.4f ratio\nzoom_ratio%s %.4f ratio\nblink_ratio%s %.4f ratio\n",
                    suffix, a->sweep.ratio(), suffix, a->zoom.ratio(), suffix, a->blink.ratio());
    printPaceDetails(quiet, "");
    printPaceDetails(loaded, ", loaded");
    printPaceDetails(large.hd.animations, ", 1920 x 1080");
    printPaceDetails(large.uhd.animations, ", 3840 x 2160");
    return 0;
}

} // namespace quiltaro::bench
