// The animations' pace with the game window full screen on a projector and
// on a 4K screen: everything drawn and presented at 1.9 and 3.8 times the
// design's pixels.
#include "LargeScreens.h"

#include "GameWindow.h"

namespace quiltaro::bench {

namespace {

Pace paceAt(LiveGame& live, QSize size) {
    live.window->setGeometry(QRect(QPoint(0, 0), size));
    settle(300);
    return {live.window->size(), measureAnimations(live)};
}

} // namespace

LargeScreenPaces measureLargeScreens(LiveGame& live) {
    const QRect before = live.window->geometry();
    LargeScreenPaces paces{paceAt(live, QSize(1920, 1080)), paceAt(live, QSize(3840, 2160))};
    live.window->setGeometry(before);
    settle(300);
    return paces;
}

} // namespace quiltaro::bench
