#pragma once

// The cost of one sweep frame, drawn and presented in the game's own window.

#include "LiveGame.h"

#include <cmath>
#include <map>
#include <string>

namespace quiltaro::bench {

struct FrameFigures {
    double medianUs = NAN, p99Us = NAN;
    double drawingUs = NAN; // the median of the drawing alone, before presenting
    double ratio = 0;
    int widthPx = 0, heightPx = 0;
};

// The body of a sweep's loop, timed: erase the old bracket, move it one point,
// draw the line, present. Frames are 4 ms apart, as in a sweep.
FrameFigures measureFrames(LiveGame& live, int warmUp, int frames);

// `quiltaro_bench --frames`: the frame figures alone, one a line, in a process
// of its own (run at device pixel ratio 2 by the full bench).
int framesOnly(int argc, char** argv);

// The figures printed by `--frames`, by name, from this bench run again with
// QT_SCALE_FACTOR=2: device pixel ratio 2 needs a process of its own.
std::map<std::string, double> framesAtRatio2();

} // namespace quiltaro::bench
