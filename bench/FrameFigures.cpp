#include "FrameFigures.h"

#include "BenchSupport.h"
#include "Palette.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

namespace quiltaro::bench {

FrameFigures measureFrames(LiveGame& live, int warmUp, int frames) {
    Surface& g = live.surface();
    RoundState& s = live.s();
    std::vector<double> times, drawing;
    times.reserve(static_cast<size_t>(frames));
    drawing.reserve(static_cast<size_t>(frames));
    live.drawRound(0, 1000, 700);
    for (int i = 0; i < warmUp + frames; ++i) {
        if (s.lowX >= 420)
            live.drawRound(0, 1000, 700);
        const auto start = Steady::now();
        g.line(s.lowX, 99, s.lowX, 140, palette::white);
        s.lowX += 1;
        live.board().drawNumberLine();
        const auto drawn = Steady::now();
        g.present();
        if (i >= warmUp) {
            times.push_back(msSince(start) * 1000);
            drawing.push_back(std::chrono::duration<double, std::micro>(drawn - start).count());
        }
        live.clock.sleepUntil(live.clock.now() + std::chrono::milliseconds(4));
    }
    return {median(times),        percentile(times, 0.99), median(drawing),
            g.devicePixelRatio(), live.window->width(),    live.window->height()};
}

int framesOnly(int argc, char** argv) {
    QApplication app(argc, argv);
    LiveGame live;
    const FrameFigures f = measureFrames(live, 200, 2000);
    std::printf("frame_median_us %.1f us\nframe_p99_us %.1f us\nframe_drawing_us %.1f us\n"
                "frame_dpr %.2f\nframe_width %d px\nframe_height %d px\n",
                f.medianUs, f.p99Us, f.drawingUs, f.ratio, f.widthPx, f.heightPx);
    return 0;
}

std::map<std::string, double> framesAtRatio2() {
    setenv("QT_SCALE_FACTOR", "2", 1);
    std::map<std::string, double> figures;
    std::istringstream out(
        capture({std::filesystem::read_symlink("/proc/self/exe").string(), "--frames"}));
    for (std::string line; std::getline(out, line);) {
        std::istringstream words(line);
        std::string name;
        double value = NAN;
        if (words >> name >> value)
            figures[name] = value;
    }
    unsetenv("QT_SCALE_FACTOR");
    return figures;
}

} // namespace quiltaro::bench
