// How little a frame sends to the screen: a few tiles around what moved, in
// as few rectangles as they allow. A tile's recipe stands for its pixels: two
// tiles with the same recipe hold the same pixels, and a frame drawn again
// over the same picture gives the recipe it gave before.
#include "FakeScreen.h"
#include "Palette.h"
#include "TileRecipes.h"

#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

#include <array>
#include <map>
#include <tuple>
#include <vector>

using namespace quiltaro;
using namespace quiltaro::palette;

namespace {

constexpr QSize tileSize(32, 8);

// A tile's pixels beside its recipe, drawn by the same fills.
struct Tile {
    QImage pixels;
    TileRecipes recipe;

    explicit Tile(QRgb colour, QSize size = tileSize) : pixels(size, QImage::Format_RGB32) {
        pixels.fill(colour);
        recipe.reset(1);
        recipe.fillWhole(0, colour);
    }
    bool known() const { return recipe.known(0); }
    void fill(const QRect& part, QRgb colour) {
        for (int y = part.top(); y <= part.bottom(); ++y)
            for (int x = part.left(); x <= part.right(); ++x)
                pixels.setPixel(x, y, colour);
        // As the surface does: past what a recipe holds, the pixels are the
        // tile, until a fill covers it whole.
        if (part == QRect(QPoint(), pixels.size()))
            recipe.fillWhole(0, colour);
        else if (known() && recipe.addFill(0, part, pixels.size(), colour) ==
                                TileRecipes::Change::TooManyColours)
            recipe.forget(0);
    }
    QImage painted() const {
        QImage image(pixels.size(), QImage::Format_RGB32);
        recipe.paint(0, reinterpret_cast<QRgb*>(image.bits()), image.bytesPerLine() / sizeof(QRgb),
                     0, image.height() - 1, 0, image.width() - 1);
        return image;
    }
};

// The recipe as a value that compares: its colours and where each shows.
std::vector<quint64> key(const Tile& tile) {
    std::array<TileRecipes::Layer, TileRecipes::maxColours> layers;
    const int count = tile.recipe.layers(0, tile.pixels.size(), layers);
    std::vector<quint64> words{quint64(tile.pixels.width()), quint64(tile.pixels.height())};
    for (int i = 0; i < count; ++i) {
        words.push_back(layers[i].colour);
        words.insert(words.end(), layers[i].pixels.begin(), layers[i].pixels.end());
    }
    return words;
}

struct Fill {
    QRect part;
    QRgb colour;
};

// Few colours and few places, so that different histories often end on the
// same pixels; now and then a fifth colour.
Fill randomFill(QRandomGenerator& random, QSize size) {
    static const QRgb colours[] = {0xffffffff, 0xff00ffff, 0xff0000ff, 0xffff0000, 0xff00ff00};
    const int left = random.bounded(3) * 8, top = random.bounded(3) * 2;
    const int right = left + 7 + random.bounded(2) * 8, bottom = top + 1 + random.bounded(2) * 2;
    const QRect part = QRect(QPoint(left, top), QPoint(right, bottom)) & QRect(QPoint(), size);
    return {part.isEmpty() ? QRect(QPoint(), size) : part,
            colours[random.bounded(random.bounded(8) == 0 ? 5 : 4)]};
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

    void aRecipeIsItsPixelsAlone() {
        // Whatever the fills that made them: the recipe paints the tile's
        // pixels, and the same pixels have the same recipe. Tiles at the
        // picture's right and bottom edges are smaller.
        QRandomGenerator random(7);
        std::map<std::vector<quint64>, QImage> pixelsOf;
        std::map<std::tuple<int, int, QByteArray>, std::vector<quint64>> recipeOf;
        int known = 0, met = 0;
        for (int history = 0; history < 4000; ++history) {
            const QSize size = random.bounded(4) ? tileSize : QSize(20, 5);
            Tile tile(random.bounded(2) ? 0xffffffff : 0xff00ffff, size);
            for (int n = random.bounded(1, 9); n > 0; --n) {
                const Fill f = randomFill(random, size);
                tile.fill(f.part, f.colour);
                if (tile.known() && tile.painted() != tile.pixels)
                    QFAIL(qPrintable(QStringLiteral("history %1").arg(history)));
            }
            if (!tile.known())
                continue;
            ++known;
            const QByteArray bytes(reinterpret_cast<const char*>(tile.pixels.constBits()),
                                   tile.pixels.sizeInBytes());
            const auto [recipe, added] =
                recipeOf.emplace(std::tuple(size.width(), size.height(), bytes), key(tile));
            if (!added) {
                ++met;
                QCOMPARE(key(tile), recipe->second);
            }
            const auto [pixels, addedKey] = pixelsOf.emplace(key(tile), tile.pixels);
            if (!addedKey)
                QCOMPARE(tile.pixels, pixels->second);
        }
        // The comparisons above have to have happened, and not on trivial
        // tiles alone.
        QVERIFY(known > 2000);
        QVERIFY(met > 500);
    }

    void aMovingBracketKeepsItsRecipe() {
        // A sweep frame at 4K moves the bracket by 4 or 5 pixels: its old
        // place erased, the box filled from its new one, the bracket drawn
        // there, 9 pixels wide.
        Tile tile(0xff00ffff);
        for (int x = 0, before = -1; x + 9 <= tileSize.width(); before = x, x += x % 2 ? 4 : 5) {
            if (before >= 0)
                tile.fill(QRect(QPoint(before, 0), QPoint(before + 8, 7)), 0xffffffff);
            tile.fill(QRect(QPoint(x, 0), QPoint(31, 7)), 0xff00ffff);
            tile.fill(QRect(QPoint(x, 0), QPoint(x + 8, 7)), 0xff0000ff);
            QVERIFY(tile.known());
            QCOMPARE(tile.painted(), tile.pixels);
        }
    }

    void aFifthColourIsForgotten() {
        Tile tile(0xffffffff);
        for (int x = 0; x < TileRecipes::maxColours; ++x)
            tile.fill(QRect(x * 2, 0, 1, 8), 0xffff0000 + x);
        QVERIFY(!tile.known());
        // Until a fill covers the tile whole.
        tile.fill(QRect(QPoint(0, 0), tileSize), 0xff00ffff);
        QVERIFY(tile.known() && tile.recipe.uniform(0));
    }
};

QTEST_MAIN(SendingTest)
#include "test_sending.moc"
