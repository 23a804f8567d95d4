#pragma once

#include "AnimationFigures.h"

#include <QSize>

namespace quiltaro::bench {

// The three animations with the game window filling a screen of one size.
struct Pace {
    QSize window;
    Animations animations;
    double sweep() const { return animations.sweep.ratio(); }
    double zoom() const { return animations.zoom.ratio(); }
    double blink() const { return animations.blink.ratio(); }
};
struct LargeScreenPaces {
    Pace hd;  // 1920 x 1080
    Pace uhd; // 3840 x 2160
};

// The game window is placed at the screen's top left at each size in turn,
// then given back its place and size.
LargeScreenPaces measureLargeScreens(LiveGame& live);

} // namespace quiltaro::bench
