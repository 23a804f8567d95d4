#include "AnimationFigures.h"

#include "BenchSupport.h"

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
    a.busy += live.clock.busy, a.late += live.clock.late, a.waits += live.clock.sleeps;
    settle(50);
}

} // namespace

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

} // namespace quiltaro::bench
