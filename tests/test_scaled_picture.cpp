// A scripted game played at every content scale from 0.5 to 4, in steps of
// 0.05: at each checkpoint the picture is the design-size picture of the same
// play, scaled. Nothing is left where the design picture has erased, nothing
// it shows is missing, no colour appears that it does not have there, and the
// picture drawn again after a change of scale is the one drawn live.
#include "AnswerEntry.h"
#include "DesktopLocale.h"
#include "Fonts.h"
#include "GameBoard.h"
#include "ScriptedSource.h"
#include "VirtualClock.h"

#include <QtTest>

#include <array>
#include <bitset>

using namespace quiltaro;

namespace {

// The game window's board, with the rules, on a bare surface of its own.
struct Game final : GameControls {
    RoundState state;
    Surface g;
    test::VirtualClock clock;
    Pacer pacer{clock, state};
    test::ScriptedSource random; // 0.5 for ever: the red value is 500 at 0 points
    GameBoard board{state, *this, g, pacer, random};
    std::array<bool, 3> shown{true, true, false};

    explicit Game(double scale) : g(QSizeF(645.75, 426), 1.0, Qt::white) {
        g.setScale(1.0, scale);
        g.setForeColor(QColor(128, 0, 0));
        g.setFillColor(QColor(0, 0, 128));
        g.setFontName(QStringLiteral("Times New Roman"));
        g.setFontSize(24);
        g.setEmphasis(true);
        board.startRound();
    }
    bool isShown(Image image) const override { return shown[static_cast<int>(image)]; }
    void setShown(Image image, bool on) override { shown[static_cast<int>(image)] = on; }
    void setScorePictureShown(int, bool) override {}
    void openFarewell() override {}

    void type(const char* keys) {
        for (const char* k = keys; *k; ++k)
            keyPress(state, *this, board, static_cast<char16_t>(*k));
    }
    void enter() { keyPress(state, *this, board, keys::enter); }
};

// The game, reaction after reaction; a checkpoint after each line.
using Step = void (*)(Game&);
const Step script[] = {
    [](Game& p) { p.type("490"), p.enter(); },  // a sweep from the left
    [](Game& p) { p.type("510"), p.enter(); },  // one from the right: the magnifier
    [](Game& p) { p.enter(); },                 // the zoom
    [](Game& p) { p.type("2000"), p.enter(); }, // outside: the blink
    [](Game& p) { p.enter(); },                 // the next try by Enter, erased down to 300
    [](Game& p) { p.type("500"), p.enter(); },  // found: two points and the score frame
    [](Game& p) { p.enter(); },                 // a new round, framed
    [](Game& p) { p.type("9999"), p.enter(); }, // outside again: a point lost
    [](Game& p) {                               // the next try by the arrow, down to 400
        if (p.isShown(Image::Fleche))
            p.board.continuePlay();
    },
    [](Game& p) { p.type("12,3\b\b45"); }, // typing, the try line printed again and again
    [](Game& p) { p.type("\x1b"); },       // given up: the solution
};
constexpr int checkpoints = std::size(script);

// Colours as small indices, in the order first seen; 31 stands for a blend.
struct Colours {
    std::vector<QRgb> known;
    int index(QRgb c) {
        for (std::size_t i = 0; i < known.size(); ++i)
            if (known[i] == c)
                return static_cast<int>(i);
        if (known.size() == 31)
            return 31;
        known.push_back(c);
        return static_cast<int>(known.size()) - 1;
    }
};

// The design picture of one checkpoint, with the colours around each pixel:
// glyphs drawn sharp at a higher resolution show details finer than a design
// pixel, up to two design pixels from the nearest one drawn at design size.
constexpr int reach = 2;
struct Design {
    QImage image;
    std::vector<std::uint8_t> colour;
    std::vector<std::uint32_t> around;
};

Design prepare(const QImage& image, Colours& colours) {
    const int w = image.width(), h = image.height();
    Design d{image, std::vector<std::uint8_t>(std::size_t(w) * h),
             std::vector<std::uint32_t>(std::size_t(w) * h)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            d.colour[std::size_t(y) * w + x] =
                static_cast<std::uint8_t>(colours.index(image.pixel(x, y)));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint32_t bits = 0;
            for (int v = std::max(0, y - reach); v <= std::min(h - 1, y + reach); ++v)
                for (int u = std::max(0, x - reach); u <= std::min(w - 1, x + reach); ++u)
                    bits |= 1u << d.colour[std::size_t(v) * w + u];
            d.around[std::size_t(y) * w + x] = bits;
        }
    return d;
}

// Compares a picture at content scale k with the design picture scaled: each
// device pixel stands for the design pixel under its centre. Every pixel must
// have a colour that the design picture has around it; every colour of an
// area of the design picture scaled (8 x 8 design pixels) must be in that
// area or beside it. Antialiased design pixels (blends) accept any colour.
QString compare(const Design& d, const QImage& scaled, double k, Colours& colours) {
    const int w = d.image.width(), h = d.image.height();
    // The device pixels of design column c are first[c] to first[c + 1] - 1;
    // those past the design's last column belong to it.
    std::vector<int> first(std::size_t(w) + 1), row(scaled.height());
    for (int c = 0; c < w; ++c)
        first[c] = std::clamp(static_cast<int>(std::ceil(c * k - 0.5)), 0, scaled.width());
    first[w] = scaled.width();
    for (int y = 0; y < scaled.height(); ++y)
        row[y] = std::min(h - 1, static_cast<int>((y + 0.5) / k));
    constexpr int tile = 8;
    const int tw = (w + tile - 1) / tile, th = (h + tile - 1) / tile;
    std::vector<std::uint32_t> designTiles(std::size_t(tw) * th), scaledTiles(designTiles.size());
    int strays = 0;
    QPoint firstStray;
    QRgb last = 0;
    int lastIndex = colours.index(last);
    auto bit = [&](QRgb c) {
        if (c != last)
            last = c, lastIndex = colours.index(c);
        return 1u << lastIndex;
    };
    for (int y = 0; y < scaled.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(scaled.constScanLine(y));
        const std::size_t at = std::size_t(row[y]) * w;
        const std::size_t tiles = std::size_t(row[y] / tile) * tw;
        for (int c = 0; c < w; ++c) {
            std::uint32_t bits = 0;
            for (int x = first[c]; x < first[c + 1]; ++x)
                bits |= bit(line[x]);
            if (!bits)
                continue;
            designTiles[tiles + c / tile] |= 1u << d.colour[at + c];
            scaledTiles[tiles + c / tile] |= bits;
            const std::uint32_t around = d.around[at + c];
            if ((bits & ~around) && !(around & (1u << 31)))
                for (int x = first[c]; x < first[c + 1]; ++x)
                    if (!(bit(line[x]) & around) && strays++ == 0)
                        firstStray = QPoint(x, y);
        }
    }
    if (strays)
        return QStringLiteral("%1 pixels of colours the design has not there, the first at (%2, "
                              "%3), %4")
            .arg(strays)
            .arg(firstStray.x())
            .arg(firstStray.y())
            .arg(QColor(scaled.pixel(firstStray)).name());
    for (int ty = 0; ty < th; ++ty)
        for (int tx = 0; tx < tw; ++tx) {
            std::uint32_t near = 0;
            for (int v = std::max(0, ty - 1); v <= std::min(th - 1, ty + 1); ++v)
                for (int u = std::max(0, tx - 1); u <= std::min(tw - 1, tx + 1); ++u)
                    near |= scaledTiles[std::size_t(v) * tw + u];
            const std::uint32_t missing = designTiles[std::size_t(ty) * tw + tx] & ~near;
            if (missing) {
                const int c = std::countr_zero(missing);
                return QStringLiteral("%1 missing around design pixel (%2, %3)")
                    .arg(QColor(colours.known[c]).name())
                    .arg(tx * tile)
                    .arg(ty * tile);
            }
        }
    return {};
}

// The scales of the scan; fewer under the sanitizers, where drawing is slow.
std::vector<double> scales() {
    std::vector<double> all;
#if defined(__SANITIZE_ADDRESS__)
    constexpr int every = 5;
#else
    constexpr int every = 1;
#endif
    for (int i = 10; i <= 80; i += every)
        all.push_back(i / 20.0);
    return all;
}

} // namespace

class ScaledPictureTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        installFonts();
    }

    void everyScaleShowsTheDesignPictureScaled() {
        Colours colours;
        std::vector<Design> design;
        {
            Game game(1.0);
            for (Step step : script) {
                step(game);
                design.push_back(prepare(game.g.image(), colours));
            }
        }
        QStringList faults;
        for (double k : scales()) {
            if (k == 1.0)
                continue;
            Game game(k);
            for (int i = 0; i < checkpoints; ++i) {
                script[i](game);
                const QImage live = game.g.image();
                QString fault = compare(design[std::size_t(i)], live, k, colours);
                // Drawn again from what the surface keeps, the picture is the same:
                // after the blink's reprints, and when each round ends.
                if (fault.isEmpty() && (i == 3 || i == 5 || i == checkpoints - 1)) {
                    game.g.setScale(1.0, 1.0);
                    game.g.setScale(1.0, k);
                    if (game.g.image() != live)
                        fault = QStringLiteral("drawn again, the picture differs");
                }
                if (!fault.isEmpty())
                    faults << QStringLiteral("scale %1, checkpoint %2: %3")
                                  .arg(k)
                                  .arg(i + 1)
                                  .arg(fault);
            }
        }
        for (const QString& fault : faults)
            qInfo("%s", qPrintable(fault));
        QVERIFY2(faults.isEmpty(),
                 qPrintable(QStringLiteral("%1 faults, listed above").arg(faults.size())));
    }
};

QTEST_MAIN(ScaledPictureTest)
#include "test_scaled_picture.moc"
