#pragma once

#include <QSize>

namespace quiltaro {
class GameWindow;
struct RoundState;
} // namespace quiltaro

namespace quiltaro::bench {

// Wall time over nominal time of the three animations, the median of three
// runs each, with the game window filling a screen of one size.
struct Pace {
    QSize window;
    double sweep = 0, zoom = 0, blink = 0;
};
struct LargeScreenPaces {
    Pace hd;  // 1920 x 1080
    Pace uhd; // 3840 x 2160
};

// The game window is placed at the screen's top left at each size in turn,
// then given back its place and size.
LargeScreenPaces measureLargeScreens(GameWindow& window, RoundState& state);

} // namespace quiltaro::bench
