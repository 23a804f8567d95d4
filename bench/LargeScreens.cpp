// The animations' pace with the game window full screen on a projector and
// on a 4K screen: everything drawn and presented at 1.9 and 3.8 times the
// design's pixels.
#include "LargeScreens.h"

#include "GameWindow.h"
#include "Generation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <vector>

namespace quiltaro::bench {

namespace {

void settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A fresh round drawn whole: 0 to 1000 on the line, brackets at lowX and highX.
void drawRound(GameWindow& window, RoundState& s, double lowBound, double lowX) {
    s.scaleLow = 0, s.scaleHigh = 1000;
    s.lowBound = lowBound, s.highBound = 1000, s.redValue = 700;
    s.lowX = lowX, s.highX = 430, s.lineY = 120, s.zoomStep = 0;
    s.redX = redPosition(s);
    s.typedAnswer.clear(), s.shownAnswer.clear();
    GameBoard& board = window.board();
    board.surface().clear();
    board.drawNumberLine();
    board.printBoundLabels();
    board.printTryLine();
    board.printPrompt();
    board.surface().present();
    settle(20);
}

double timed(const std::function<void()>& play, double nominal) {
    QElapsedTimer timer;
    timer.start();
    play();
    const double ratio = timer.nsecsElapsed() / 1e9 / nominal;
    settle(50);
    return ratio;
}

Pace paceAt(GameWindow& window, RoundState& s, QSize size) {
    window.setGeometry(QRect(QPoint(0, 0), size));
    settle(300);
    std::vector<double> sweep, zoom, blink;
    GameBoard& board = window.board();
    for (int i = 0; i < 3; ++i) {
        drawRound(window, s, 0, 50);
        s.typedAnswer = "1000";
        sweep.push_back(timed([&] { board.sweepLowBound(); }, 380 * 0.004));
        drawRound(window, s, 500, 240);
        zoom.push_back(timed([&] { board.magnifierZoom(); }, 70 * 0.02 + 1.0 + 80 * 0.005));
        drawRound(window, s, 0, 50);
        blink.push_back(timed([&] { board.blinkOutOfInterval(); }, 20 * 0.1));
    }
    return {window.size(), median(sweep), median(zoom), median(blink)};
}

} // namespace

LargeScreenPaces measureLargeScreens(GameWindow& window, RoundState& state) {
    const QRect before = window.geometry();
    LargeScreenPaces paces{paceAt(window, state, QSize(1920, 1080)),
                           paceAt(window, state, QSize(3840, 2160))};
    window.setGeometry(before);
    settle(300);
    return paces;
}

} // namespace quiltaro::bench
