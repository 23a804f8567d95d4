// How little a frame sends to the screen: a few tiles around what moved, in
// as few rectangles as they allow. A tile's recipe stands for its pixels: two
// tiles with the same recipe hold the same pixels, and a frame drawn again
// over the same picture gives the recipe it gave before.
#include "FakeScreen.h"
#include "Palette.h"
#include "TileRecipe.h"

#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

#include <map>
#include <vector>

using namespace quiltaro;
using namespace quiltaro::palette;

namespace {

constexpr QSize tileSize(32, 8);

struct Tile {
    QImage pixels{tileSize, QImage::Format_RGB32};
    TileRecipe recipe;

    explicit Tile(QRgb colour) {
        pixels.fill(colour);
        recipe.setUniform(colour);
    }
    void fill(const QRect& part, QRgb colour) {
        for (int y = part.top(); y <= part.bottom(); ++y)
            for (int x = part.left(); x <= part.right(); ++x)
                pixels.setPixel(x, y, colour);
        recipe.addFill(part, tileSize, colour);
    }
};

// The recipe as a value that compares: its colour and its fills in order.
std::vector<quint64> key(const TileRecipe& recipe) {
    std::vector<quint64> words{recipe.base()};
    for (int i = 0; i < recipe.fillCount(); ++i) {
        const TileRecipe::Fill& f = recipe.fill(i);
        words.push_back(quint64(f.left) | quint64(f.top) << 8 | quint64(f.right) << 16 |
                        quint64(f.bottom) << 24 | quint64(f.colour) << 32);
    }
    return words;
}

struct Fill {
    QRect part;
    QRgb colour;
};

// Few colours and few places, so that different histories often end on the
// same pixels and on the same recipe.
Fill randomFill(QRandomGenerator& random) {
    static const QRgb colours[] = {0xffffffff, 0xff00ffff, 0xff0000ff, 0xffff0000};
    const int left = random.bounded(3) * 8, top = random.bounded(3) * 2;
    const int right = left + 7 + random.bounded(2) * 8, bottom = top + 1 + random.bounded(2) * 2;
    return {QRect(QPoint(left, top), QPoint(right, bottom)), colours[random.bounded(4)]};
}

} // namespace

class SendingTest : public QObject {
    Q_OBJECT

private slots:
    void aSweepFrameSendsLittle_data() {
        ratioRows({1, 4}); // 4: full screen on a 4K screen, near enough
    }
    void aSweepFrameSendsLittle() {
        // A sweep frame draws the whole interval again to move one bracket
        // by one point: the screen is sent a few tiles around the bracket
        // that moved, as few rectangles as they allow, and nothing of the
        // bracket that stands still on the box's edge.
        QFETCH(qreal, ratio);
        FakeScreen f(ratio);
        auto frame = [&](double low) {
            f.g.filledBox(low, 101, 430, 139, lightCyan);
            f.g.setLineWidth(2);
            f.g.line(low, 120, 430, 120, lightBlue);
            for (double x : {low, 430.0}) {
                f.g.line(x, 100, x, 140, blue);
                f.g.line(x, 100, x + (x == low ? 10 : -10), 100, blue);
            }
            f.g.present();
        };
        // The round starts on a window painted whole.
        f.g.filledBox(0, 0, 480, 300, white);
        for (int whole = 0; whole < 3; ++whole) // until then, the surface goes out whole
            frame(99);
        const double pixelsPerPoint = ratio * 96 / 72;
        for (int low = 100; low < 140; ++low) {
            f.presented.clear();
            f.g.line(low - 1, 99, low - 1, 140, white);
            frame(low);
            QCOMPARE(f.presented.size(), size_t(1));
            const QRegion& sent = f.presented.front();
            const QRect around = sent.boundingRect();
            QVERIFY2(around.left() >= (low - 2) * pixelsPerPoint - Surface::tileWidth &&
                         around.right() <= (low + 10) * pixelsPerPoint + Surface::tileWidth &&
                         around.height() <= 41 * pixelsPerPoint + 2 * Surface::tileHeight,
                     qPrintable(QStringLiteral("at %1: (%2, %3) %4 x %5")
                                    .arg(low)
                                    .arg(around.x())
                                    .arg(around.y())
                                    .arg(around.width())
                                    .arg(around.height())));
            QVERIFY2(sent.rectCount() <= 5, qPrintable(QString::number(sent.rectCount())));
        }
        f.presented.clear();
        f.g.present();
        QCOMPARE(f.presented, std::vector<QRegion>{QRegion()});
        QCOMPARE(f.screen, f.g.image());
    }

    void whatIsWrittenLateIsWhatWasDrawn_data() { ratioRows({1, 2.5}); }
    void whatIsWrittenLateIsWhatWasDrawn() {
        // Fills reach the pixels only when they are read, and only where the
        // pixels do not hold them already. The picture is the one drawn again
        // from the kept operations on a new image, frame after frame: the
        // same box again over a line, a bracket that moves, text and curves
        // over fills not yet written, fills over text.
        QFETCH(qreal, ratio);
        Surface live(QSizeF(480, 300), ratio, Qt::white), again(QSizeF(480, 300), ratio, Qt::white);
        QRandomGenerator random(23);
        auto at = [&](double limit) { return random.bounded(limit); };
        const double boxes[][4] = {{0, 60, 480, 300}, {50, 101, 430, 139}, {120, 90, 300, 150}};
        for (int frame = 0; frame < 300; ++frame) {
            for (int n = random.bounded(1, 7); n > 0; --n) {
                const double x = at(470), y = at(290);
                const int colour = random.bounded(count);
                const int width = random.bounded(1, 4);
                const int kind = random.bounded(6);
                const double* box = boxes[random.bounded(3)];
                for (Surface* g : {&live, &again}) {
                    g->setLineWidth(width);
                    switch (kind) {
                    case 0:
                        g->line(x, y, x, y + 40, colour);
                        break;
                    case 1:
                        g->line(x, y, x + 60, y, colour);
                        break;
                    case 2:
                        g->filledBox(box[0], box[1], box[2], box[3], colour);
                        break;
                    case 3:
                        g->filledBox(x, y, x + 7, y + 3, colour);
                        break;
                    case 4:
                        g->setForeColor(colour);
                        g->setPosition(x, y);
                        g->print(QString::number(frame), Surface::LineEnd::Keep);
                        break;
                    default:
                        g->ellipse(x, y, 12, colour, 1);
                    }
                }
                if (random.bounded(3) == 0)
                    live.image(QRect(random.bounded(600), random.bounded(300), 200, 100));
            }
            live.present();
            again.present();
            again.release();
            QVERIFY(!again.holdsImage());
            if (live.image() != again.image())
                QFAIL(qPrintable(QStringLiteral("frame %1").arg(frame)));
        }
    }

    void theSameRecipeIsTheSamePixels() {
        QRandomGenerator random(7);
        std::map<std::vector<quint64>, QImage> seen;
        int known = 0, met = 0;
        for (int history = 0; history < 4000; ++history) {
            Tile tile(random.bounded(2) ? 0xffffffff : 0xff00ffff);
            for (int n = random.bounded(1, 7); n > 0; --n) {
                const Fill f = randomFill(random);
                tile.fill(f.part, f.colour);
            }
            if (!tile.recipe.known())
                continue;
            ++known;
            const auto [at, added] = seen.emplace(key(tile.recipe), tile.pixels);
            if (!added) {
                ++met;
                QCOMPARE(tile.pixels, at->second);
            }
        }
        // The comparison above has to have happened, and not on trivial
        // recipes alone.
        QVERIFY(known > 1000);
        QVERIFY(met > 200);
    }

    void aFrameDrawnAgainGivesTheSameRecipe() {
        // An animation frame fills the interval's box over the brackets and
        // draws them again: the same fills, frame after frame, over what the
        // frame before left.
        QRandomGenerator random(11);
        int compared = 0;
        for (int trial = 0; trial < 2000; ++trial) {
            Tile tile(0xffffffff);
            for (int n = random.bounded(0, 4); n > 0; --n) {
                const Fill f = randomFill(random);
                tile.fill(f.part, f.colour);
            }
            std::vector<Fill> frame(static_cast<std::size_t>(random.bounded(1, 4)));
            for (Fill& f : frame)
                f = randomFill(random);
            auto draw = [&] {
                for (const Fill& f : frame)
                    tile.fill(f.part, f.colour);
            };
            draw();
            const QImage pixels = tile.pixels;
            const std::vector<quint64> first = key(tile.recipe);
            const bool knownFirst = tile.recipe.known();
            draw();
            QCOMPARE(tile.pixels, pixels);
            if (!knownFirst || !tile.recipe.known())
                continue;
            ++compared;
            QCOMPARE(key(tile.recipe), first);
        }
        QVERIFY(compared > 1000);
    }

    void theBracketOnTheBoxEdge() {
        // The high bracket stands on the right edge of the interval's box,
        // and reaches above it: neither fill holds the other.
        Tile tile(0xffffffff);
        const QRect box(QPoint(0, 3), QPoint(6, 7)), bracket(QPoint(4, 0), QPoint(6, 7));
        std::vector<std::vector<quint64>> recipes;
        for (int frame = 0; frame < 5; ++frame) {
            tile.fill(box, 0xff00ffff);
            tile.fill(bracket, 0xff0000ff);
            recipes.push_back(key(tile.recipe));
        }
        QVERIFY(tile.recipe.known());
        for (std::size_t i = 1; i < recipes.size(); ++i)
            QCOMPARE(recipes[i], recipes.front());
    }

    void tooManyFillsAreForgotten() {
        Tile tile(0xffffffff);
        for (int x = 0; x <= TileRecipe::maxFills; ++x)
            tile.fill(QRect(x * 2, 0, 1, 8), 0xffff0000);
        QVERIFY(!tile.recipe.known());
        // Until a fill covers the tile whole.
        tile.fill(QRect(QPoint(0, 0), tileSize), 0xff00ffff);
        QVERIFY(tile.recipe.known());
        QCOMPARE(tile.recipe.fillCount(), 0);
    }
};

QTEST_MAIN(SendingTest)
#include "test_sending.moc"
