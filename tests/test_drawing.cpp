// The surface and the game board's drawings, read back pixel by pixel at ratios 1 and 2,
// and drawn again at another scale.
#include "DesktopLocale.h"
#include "Fonts.h"
#include "GameBoard.h"
#include "Palette.h"
#include "ScriptedSource.h"
#include "VirtualClock.h"

#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::palette;

// A board in the game window's font at the row's ratio: [0, 1000] on 50..430, mark at 240.
struct Board : GameControls {
    RoundState state;
    Surface g{QSizeF(645.75, 426), ratio(), Qt::white};
    test::VirtualClock clock;
    Pacer pacer{clock, state};
    test::ScriptedSource random;
    GameBoard board{state, *this, g, pacer, random};

    Board() {
        g.setFontName(QStringLiteral("Times New Roman")), g.setEmphasis(true);
        state.highBound = 1000, state.redX = 240;
    }
    static qreal ratio() {
        QFETCH_GLOBAL(qreal, ratio);
        return ratio;
    }
    bool isShown(Image) const override { return false; }
    void setShown(Image, bool) override {}
    void setScorePictureShown(int, bool) override {}
    void openFarewell() override {}
    void expect(std::initializer_list<std::tuple<double, double, int>> samples) const {
        for (auto [x, y, colour] : samples)
            QCOMPARE(std::pair(QPointF(x, y), g.pixelAt(x, y)),
                     std::pair(QPointF(x, y), paletteColor(colour)));
    }
};

// Bounding box in points of a region's pixels of the colour (or not of it, if `other`).
static QRectF ink(const Surface& g, QRectF region, int colour, bool other = false) {
    QRect found;
    for (int y = qFloor(region.top() * g.scale()); y < region.bottom() * g.scale(); ++y)
        for (int x = qFloor(region.left() * g.scale()); x < region.right() * g.scale(); ++x)
            if ((g.image().pixel(x, y) == paletteColor(colour).rgb()) != other)
                found |= QRect(x, y, 1, 1);
    return QRectF(QRectF(found).topLeft() / g.scale(), QRectF(found).size() / g.scale());
}

#define INSIDE(point, area)                                                                        \
    QVERIFY2(QRectF area.contains(point),                                                          \
             qPrintable(QStringLiteral(#point " is (%1, %2)").arg((point).x()).arg((point).y())))

class DrawingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        installFonts();
    }
    void initTestCase_data() {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("@1x") << 1.0;
        QTest::newRow("@2x") << 2.0;
    }

    void paletteIsExact() {
        const QRgb rgb[] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                            0x808000, 0xc0c0c0, 0x808080, 0x0000ff, 0x00ff00, 0x00ffff,
                            0xff0000, 0xff00ff, 0xffff00, 0xffffff};
        for (int index = 0; index < 16; ++index) { // as a box's colour and as the foreground
            Surface g(QSizeF(100, 40), Board::ratio(), QColor(1, 2, 3));
            g.setForeColor(index), g.setLineWidth(2);
            g.filledBox(10, 10, 30, 30, index), g.line(40, 20, 80, 20);
            QCOMPARE(g.pixelAt(20, 20), QColor(rgb[index]));
            QCOMPARE(g.pixelAt(60, 20), QColor(rgb[index]));
        }
    }

    void boxesAndLinesOnWholeDevicePixels() {
        // Corners in any order, both included: the box covers the pixels of x = 100 and y = 90.
        for (QRectF corners : {QRectF(100, 60, -100, 30), QRectF(0, 90, 100, -30)}) {
            Board b;
            b.g.filledBox(corners.left(), corners.top(), corners.right(), corners.bottom(), green);
            const QRectF box = ink(b.g, QRectF(0, 0, 200, 200), green);
            QCOMPARE(box.topLeft(), QPointF(0, 60));
            INSIDE(box.bottomRight(), (100.01, 90.01, 0.99, 0.99));
        }
        // Straight lines: width × ratio device pixels across, nothing blended beside them.
        for (int width : {1, 2, 3})
            for (bool vertical : {false, true}) {
                Board b;
                b.g.setLineWidth(width);
                vertical ? b.g.line(50.4, 10, 50.4, 100, red) : b.g.line(10, 50.4, 100, 50.4, red);
                const QRectF region(40, 40, 20, 20), line = ink(b.g, region, red);
                QCOMPARE(ink(b.g, region, white, true), line);
                QCOMPARE(vertical ? line.width() : line.height(), 0.75 * width);
            }
    }

    void text() {
        // A number prints with its spaces, each piece advances; 20 prints look as one.
        Board number, text;
        for (Surface* g : {&number.g, &text.g})
            g->filledBox(0, 0, 400, 100, lightCyan), g->setForeColor(red), g->setFontSize(18);
        number.g.setPosition(30, 40);
        number.g.print({Surface::Number{3}, QStringLiteral(" :")}, Surface::LineEnd::Keep);
        for (int i = 0; i < 20; ++i) {
            text.g.setPosition(30, 40);
            text.g.print(QStringLiteral(" 3  :"), Surface::LineEnd::Keep);
        }
        QCOMPARE(number.g.image(), text.g.image());
        QCOMPARE(QPointF(number.g.x(), number.g.y()),
                 QPointF(30 + text.g.textWidth(" 3 ") + text.g.textWidth(" :"), 40));
        // 18 points bold: digit ½ em, space ¼. Ink hangs from y; the background stays.
        QCOMPARE(std::pair(number.g.textWidth(" 0"), number.g.textWidth(" 999")),
                 std::pair(13.5, 31.5));
        INSIDE(ink(number.g, QRectF(0, 0, 400, 100), red).topLeft(), (34.5, 42, 1.5, 4));
        QCOMPARE(number.g.pixelAt(31, 41), paletteColor(lightCyan));
    }

    void numberLine() {
        Board b;
        b.board.drawNumberLine();
        // Band 50..430 × 101..139, axis 10..460, brackets 40 high, serifs 10 inward, mark 20.
        b.expect({{60, 105, lightCyan},  {420, 135, lightCyan}, {240, 107, lightCyan},
                  {240, 133, lightCyan}, {30, 110, white},      {440, 110, white},
                  {240, 97, white},      {240, 143, white},     {15, 120, lightBlue},
                  {455, 120, lightBlue}, {5, 120, white},       {466, 120, white},
                  {50, 130, blue},       {430, 110, blue},      {50, 144, white},
                  {55, 100, blue},       {425, 140, blue},      {63, 100, white},
                  {417, 140, white},     {240, 110, lightRed},  {240, 130, lightRed}});
        QCOMPARE(std::pair(b.g.lineWidth(), b.g.foreColor()), std::pair(2, paletteColor(lightRed)));
        // The mark is drawn over the bracket it stands on.
        b.state.redX = 50;
        b.board.drawNumberLine();
        b.expect({{50, 115, lightRed}, {50, 135, blue}});
        // While the line moves down in a zoom, no full axis; on the way up, one.
        const std::pair<int, float> zooms[] = {{2, 142}, {2, 210}, {2, 278}, {-2, 180}};
        for (auto [step, y] : zooms) {
            b.state.lineY = y, b.state.zoomStep = std::int16_t(step);
            b.board.drawNumberLine();
            b.expect({{20, y, step > 0 ? white : lightBlue}, {100, y, lightBlue}});
        }
    }

    void boundLabels() {
        const std::pair<double, double> bounds[] = {{0, 50}, {123, 50}, {2.5, 50}, {-7.25, 150}};
        for (auto [bound, x] : bounds) {
            Board b;
            b.state.lowBound = bound, b.state.lowX = x;
            b.board.printBoundLabels();
            // Lower label ends at its bracket, upper starts at its own, "?" over the mark.
            INSIDE(ink(b.g, QRectF(0, 60, x + 3, 38), blue).topRight(), (x - 1, 77, 2, 3));
            INSIDE(ink(b.g, QRectF(425, 40, 200, 58), blue).topLeft(), (429, 77, 4, 3));
            INSIDE(ink(b.g, QRectF(220, 40, 40, 58), lightRed).topLeft(), (236, 82, 3, 3));
            QCOMPARE(std::tuple(b.g.fontSize(), b.g.foreColor(), b.g.x(), b.g.y()),
                     std::tuple(14.0, paletteColor(lightRed), 0.0, 80 + b.g.lineHeight()));
        }
    }

    void tryLine() {
        for (const char* answer : {"", "5", "1234567"}) {
            Board b;
            b.state.tryNumber = 12, b.state.shownAnswer = answer;
            b.board.printTryLine();
            b.board.printPrompt();
            const QImage once = b.g.image();
            INSIDE(ink(b.g, QRectF(100, 160, 300, 50), red).topLeft(), (139, 182, 2.5, 4));
            // The answer from 240, the prompt right after it, all left of 400.
            const QRectF typed = ink(b.g, QRectF(100, 160, 300, 50), lightRed);
            const double end = 240 + b.g.textWidth(QString(answer) + " ?");
            INSIDE(typed.topLeft(), (240, 182, *answer ? 1.5 : end - 240, 4));
            QVERIFY(typed.right() > end - 2 && typed.right() <= std::min(end, 400.0));
            QCOMPARE(std::tuple(b.g.fontSize(), b.g.emphasis(), b.g.foreColor(), b.g.fillColor(),
                                b.g.fillStyle() == Surface::FillStyle::Solid, b.g.lineWidth()),
                     std::tuple(18.0, false, paletteColor(lightRed), paletteColor(white), true, 3));
            b.board.printTryLine();
            b.board.printPrompt();
            QCOMPARE(b.g.image(), once);
        }
    }

    // A round's drawings made at one scale, then the window resized: the picture drawn
    // again is the one drawn directly at the new scale, and back at the first scale it
    // is the first picture, pixel for pixel.
    void scaleChangeDrawsTheSamePicture_data() {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::newRow("1 to 1.9") << 1.0 << 1.9;
        QTest::newRow("1.9 to 0.6") << 1.9 << 0.6;
        QTest::newRow("0.9 to 1.37") << 0.9 << 1.37;
    }
    void scaleChangeDrawsTheSamePicture() {
        QFETCH(double, from);
        QFETCH(double, to);
        Board resized, direct;
        resized.g.setScale(Board::ratio(), from);
        direct.g.setScale(Board::ratio(), to);
        for (Board* b : {&resized, &direct})
            playARound(*b);
        const QImage first = resized.g.image();
        resized.g.setScale(Board::ratio(), to);
        QCOMPARE(resized.g.image().size(), direct.g.image().size());
        QVERIFY(resized.g.image() == direct.g.image());
        resized.g.setScale(Board::ratio(), from);
        QVERIFY(resized.g.image() == first);
        // What later drawing covers whole is not kept: a sweep frame adds a few
        // operations, not its dozen, and reprinted try lines add none.
        QVERIFY2(resized.g.keptOperations() < 600,
                 qPrintable(QString::number(resized.g.keptOperations())));
        // The drawing state is the surface's, untouched by drawing again.
        QCOMPARE(std::tuple(resized.g.x(), resized.g.y(), resized.g.fontSize()),
                 std::tuple(direct.g.x(), direct.g.y(), direct.g.fontSize()));
        // A clear forgets the round.
        resized.g.clear();
        QCOMPARE(resized.g.keptOperations(), 0);
    }

private:
    // A round with what each animation draws: a sweep from each side, a blinking
    // message, a zoom, two hundred typed keys, a solution and a score frame.
    static void playARound(Board& b) {
        // Right of the game's drawing: a line and a text, each half under a later box.
        b.g.setLineWidth(3);
        b.g.line(500, 300, 600, 300, red);
        b.g.filledBox(490, 300, 640, 340, green);
        b.g.setFontSize(18);
        const QFontMetricsF metrics(b.g.font());
        b.g.setPosition(500, 360 - metrics.ascent() - metrics.boundingRect("Ag").top());
        b.g.print(QStringLiteral("Ag"), Surface::LineEnd::Keep); // its ink from 360 down
        b.g.filledBox(490, 360, 640, 400, green);
        RoundState& s = b.state;
        s.lowBound = 0, s.highBound = 1000, s.scaleLow = 0, s.scaleHigh = 1000;
        s.lowX = 50, s.highX = 430, s.redX = 240, s.lineY = 120, s.tryNumber = 1;
        b.board.drawNumberLine();
        b.board.printBoundLabels();
        b.board.printTryLine();
        b.board.printPrompt();
        for (const char* guess : {"300", "800"}) {
            s.typedAnswer = s.shownAnswer = guess;
            std::string(guess) == "300" ? b.board.sweepLowBound() : b.board.sweepHighBound();
            b.board.printBoundLabels();
        }
        b.board.blinkOutOfInterval();
        b.board.beginNextTry(400);
        for (int key = 0; key < 200; ++key) {
            s.shownAnswer = std::to_string(key * 37 % 1000);
            b.board.printTryLine();
            b.board.printPrompt();
        }
        b.board.magnifierZoom();
        b.board.showSolution();
        s.score = 3;
        b.board.drawScoreFrame();
    }
};

QTEST_MAIN(DrawingTest)
#include "test_drawing.moc"
