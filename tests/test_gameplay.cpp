// Playing the game: the animations' frames and pauses, what a guess does to
// the screen, input that arrives during an animation, and a whole game from
// the welcome window to the farewell arrow.
#include "Controls.h"
#include "DesktopLocale.h"
#include "Generation.h"
#include "NumberText.h"
#include "Palette.h"
#include "SurfaceView.h"
#include "TestProgram.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>
#include <vector>

using namespace quiltaro;
using quiltaro::test::TestProgram;
using Seconds = std::chrono::duration<double>;

namespace {

// Records the length of every wait, in seconds.
struct WaitLog {
    std::vector<double> waits;
    explicit WaitLog(TestProgram& t) {
        t.clock.onSleep = [this](Clock::Duration d) { waits.push_back(Seconds(d).count()); };
    }
    int count(double seconds) const {
        int n = 0;
        for (double w : waits)
            n += std::abs(w - seconds) < 1e-9;
        return n;
    }
};

// A round at score 0 (always 0 to 1000) with a chosen red value.
GameWindow* roundWithRedValue(TestProgram& t, float red) {
    GameWindow* game = t.openGame();
    RoundState& s = t.state();
    s.redValue = red;
    s.redX = redPosition(s);
    s.solutionText = numberToText(red);
    return game;
}

bool hasColour(const Surface& g, QRectF pointsArea, int colour) {
    const QRect area(
        QPoint(int(pointsArea.left() * g.scale()), int(pointsArea.top() * g.scale())),
        QPoint(int(pointsArea.right() * g.scale()), int(pointsArea.bottom() * g.scale())));
    const QRgb wanted = paletteColor(colour).rgb();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (g.image().pixel(x, y) == wanted)
                return true;
    return false;
}

} // namespace

class GameplayTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QUILTARO_ADOPT_DESKTOP_LOCALE(); }
    void zoomDescendsPausesAndAscends() {
        TestProgram t;
        GameWindow* game = roundWithRedValue(t, 700);
        TestProgram::type(game, "600\r"); // too low: lower bracket to 600
        TestProgram::type(game, "800\r"); // too high: brackets 152 points apart
        QVERIFY(game->isShown(Image::Loupe));

        WaitLog log(t);
        const double start = t.clock.seconds();
        TestProgram::click(game->image(Image::Loupe));

        QCOMPARE(log.waits.size(), size_t(151));
        QCOMPARE(log.count(0.02), 70);
        QCOMPARE(log.count(0.005), 80);
        QVERIFY(log.waits[70] > 1.0); // the pause, strictly more than a second
        QVERIFY(t.clock.seconds() - start > 70 * 0.02 + 1.0 + 80 * 0.005);

        const RoundState& s = t.state();
        QCOMPARE(s.zoomStep, std::int16_t(-2));
        QCOMPARE(s.scaleLow, 600.0);
        QCOMPARE(s.scaleHigh, 800.0);
        QCOMPARE(s.redX, 240.0); // 700 is the middle of 600..800
        // The enlarged line is back at rest with the full axis; the cone is gone.
        Surface& g = game->surfaceView()->surface();
        QCOMPARE(g.pixelAt(20, 120), paletteColor(palette::lightBlue));
        QCOMPARE(g.pixelAt(240, 250), paletteColor(palette::white));
        // A new round keeps the magnifier; with the brackets at 50 and 430 the
        // zoom moves nothing sideways but still plays all its frames.
        game->setShown(Image::Loupe, true);
        t.program.react([&] { game->board().startRound(); });
        log.waits.clear();
        TestProgram::key(game, Qt::Key_Return);
        QCOMPARE(log.waits.size(), size_t(151));
        QCOMPARE(t.state().lowX, 50.0);
    }

    void sweepMovesOnePointPerFrame_data() {
        QTest::addColumn<double>("startOfDay");
        QTest::newRow("at nine") << 9 * 3600.0;
        QTest::newRow("across midnight") << 86400.0 - 0.3; // same frames, same pace
    }
    void sweepMovesOnePointPerFrame() {
        QFETCH(double, startOfDay);
        TestProgram t(startOfDay);
        GameWindow* game = roundWithRedValue(t, 700);
        WaitLog log(t);
        TestProgram::type(game, "500\r"); // lower bracket from 50 to 240
        QCOMPARE(log.count(0.004), int(log.waits.size()));
        QCOMPARE(log.waits.size(), size_t(190));
        QCOMPARE(t.clock.seconds(), 190 * 0.004);
        QCOMPARE(t.state().lowX, 240.0);
        Surface& g = game->surfaceView()->surface();
        QCOMPARE(g.pixelAt(240, 130), paletteColor(palette::blue));
        QCOMPARE(g.pixelAt(100, 130), paletteColor(palette::white));   // the band left behind
        QVERIFY(!hasColour(g, QRectF(0, 60, 200, 30), palette::blue)); // the old label "0" erased

        // A guess on the bracket's own position: no frame, but the bound is set.
        log.waits.clear();
        TestProgram::type(game, "500\r");
        QVERIFY(log.waits.empty());
        QCOMPARE(t.state().tryNumber, std::int16_t(3));
        // Too high, from the right: the upper bracket comes in.
        TestProgram::type(game, "900\r");
        QCOMPARE(log.count(0.004), 38);
        QCOMPARE(t.state().highX, 392.0);
    }

    void guessOutsideBlinksAndCostsAPoint() {
        TestProgram t;
        GameWindow* game = roundWithRedValue(t, 300);
        t.state().score = 4;
        WaitLog log(t);
        TestProgram::type(game, "1001\r");
        QCOMPARE(log.waits.size(), size_t(20));
        for (double w : log.waits)
            QVERIFY(w > 0.1);
        QCOMPARE(t.state().score, std::int16_t(3));
        QVERIFY(game->picture1()[2]->isVisibleTo(game) && !game->picture1()[3]->isVisibleTo(game));
        QVERIFY(game->isShown(Image::Fleche) && !game->isShown(Image::Arret));
        Surface& g = game->surfaceView()->surface();
        QCOMPARE(g.pixelAt(240, 295), paletteColor(palette::red));
        QVERIFY(hasColour(g, QRectF(70, 260, 300, 20), palette::yellow)); // last print yellow
        TestProgram::type(game, "12"); // ignored while the arrow is shown
        QCOMPARE(t.state().typedAnswer, std::string("1001"));
        // The arrow key, whatever the modifiers: the next try; the message goes.
        TestProgram::key(game, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
        QVERIFY(!game->isShown(Image::Fleche) && t.state().typedAnswer.empty());
        QVERIFY(!hasColour(g, QRectF(0, 200, 450, 199), palette::red));
    }

    void keysDuringAnAnimationWaitTheirTurn() {
        TestProgram t;
        GameWindow* game = roundWithRedValue(t, 700);
        bool posted = false;
        t.clock.onSleep = [&](Clock::Duration) {
            if (posted)
                return;
            posted = true;
            // Typed while the bracket slides: handled after, in the mode it leaves.
            for (char c : {'6', '5', '0', '\r'})
                QCoreApplication::postEvent(
                    game, new QKeyEvent(QEvent::KeyPress, c == '\r' ? Qt::Key_Return : Qt::Key(c),
                                        Qt::NoModifier, QString(QChar(c))));
            QVERIFY(t.state().typedAnswer == "500");
        };
        TestProgram::type(game, "500\r");
        QCOMPARE(t.state().lowBound, 650.0);
        QCOMPARE(t.state().tryNumber, std::int16_t(3));
        QCOMPARE(t.program.gate().deepestNesting(), 1);
    }

    void wholeGameFromWelcomeToFarewell() {
        TestProgram t;
        GameWindow* game = t.openGame();
        const RoundState& s = t.state();
        int wins = 0, outside = 0, narrowed = 0, zooms = 0, giveUps = 0, rounds = 0;
        QElapsedTimer real;
        real.start();
        while (!t.program.farewell() && rounds < 200) {
            ++rounds;
            const double grid = bandFor(s.score).grid;
            if (rounds == 2) { // one give-up, from a score above 0
                TestProgram::key(game, Qt::Key_Escape);
                ++giveUps;
            }
            while (!game->isShown(Image::Arret)) {
                if (game->isShown(Image::Fleche)) {
                    TestProgram::click(game->image(Image::Fleche));
                    continue;
                }
                if (game->isShown(Image::Loupe) && zooms < 2) {
                    TestProgram::key(game, Qt::Key_Return); // nothing typed: zoom
                    ++zooms;
                    continue;
                }
                double guess = std::round((s.lowBound + s.highBound) / 2 * grid) / grid;
                if (s.tryNumber == 1 && rounds % 3 == 0)
                    guess = s.highBound + 1, ++outside;
                else if (std::abs(guess - s.redValue) > 1e-6)
                    ++narrowed;
                TestProgram::type(game,
                                  QString::fromStdString(withDecimalComma(shortestDecimal(guess))));
                TestProgram::key(game, Qt::Key_Enter);
            }
            wins += s.lowX == s.highX;
            TestProgram::key(game, Qt::Key_Right); // next round, or the end of the game
        }
        QVERIFY(t.program.farewell() && t.program.farewell()->isActiveWindow());
        QCOMPARE(s.score, std::int16_t(10));
        QVERIFY(wins >= 5 && outside > 0 && narrowed > 0 && zooms > 0 && giveUps == 1);
        QVERIFY(!game->isShown(Image::Fleche) && !game->isShown(Image::Arret));
        QCOMPARE(game->surfaceView()->surface().pixelAt(240, 120), paletteColor(palette::white));
        TestProgram::click(t.program.farewell()->findChild<QWidget*>(QStringLiteral("flèche")));
        QCOMPARE(t.endCount, 1);
        QCOMPARE(t.program.gate().deepestNesting(), 1);
        qInfo("%d rounds, %d wins, %.0f s of play in %lld ms", rounds, wins, t.clock.seconds(),
              real.elapsed());
        QVERIFY(real.elapsed() < 20000);
    }

    // A pupil who reads the interval as a screen reader says it, and halves
    // it on the grid of the numbers the class plays: ten points at every level,
    // each round at the kind the teacher set for its score.
    void aWholeGameIsWonAtEachLevel_data() {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("kinds"); // at scores 0 to 9: Whole, Tenths, Hundredths
        QTest::newRow("entiers") << "entiers"
                                 << "WWWWWWWWWW";
        QTest::newRow("dixiemes") << "dixiemes"
                                  << "TTTTTTTHHH";
        QTest::newRow("centiemes") << "centiemes"
                                   << "HHHHHHHHHH";
    }
    void aWholeGameIsWonAtEachLevel() {
        QFETCH(QString, level);
        QFETCH(QString, kinds);
        TestProgram t;
        t.state().levels = parseLevel(level.toStdString()).value();
        GameWindow* game = t.openGame();
        const RoundState& s = t.state();
        QAccessibleInterface* surface = QAccessible::queryAccessibleInterface(game->surfaceView());
        const QRegularExpression interval("entre (\\S+) et (\\S+)\\.\\n");
        auto number = [](QString text) { return text.replace(',', '.').toDouble(); };
        for (int rounds = 0; !t.program.farewell() && rounds < 100; ++rounds) {
            const QChar kind = kinds[std::min<int>(s.score, 9)];
            const double grid = kind == 'W' ? 1 : kind == 'T' ? 10 : 100;
            QCOMPARE(QChar("WTH"[int(s.kind)]), kind);
            QCOMPARE(float(std::round(s.redValue * grid) / grid), s.redValue); // on its grid
            QVERIFY(s.score > 0 || kind != 'W' || s.highBound == 1000); // the first round's span
            QVERIFY(kind == 'W' || s.highBound < 1000);
            while (!game->isShown(Image::Arret)) {
                if (game->isShown(Image::Fleche)) {
                    TestProgram::click(game->image(Image::Fleche));
                    continue;
                }
                const auto said = interval.match(surface->text(QAccessible::Description));
                QVERIFY2(said.hasMatch(), qPrintable(surface->text(QAccessible::Description)));
                const double low = number(said.captured(1)), high = number(said.captured(2));
                const double guess = std::round((low + high) / 2 * grid) / grid;
                TestProgram::type(game,
                                  QString::fromStdString(withDecimalComma(shortestDecimal(guess))));
                TestProgram::key(game, Qt::Key_Enter);
            }
            TestProgram::key(game, Qt::Key_Right); // next round, or the end of the game
        }
        QVERIFY(t.program.farewell());
        QCOMPARE(s.score, std::int16_t(10));
    }

    void screenReadersAreToldWhatIsDrawn() {
        TestProgram t;
        GameWindow* game = roundWithRedValue(t, 305);
        QAccessibleInterface* surface = QAccessible::queryAccessibleInterface(game->surfaceView());
        auto described = [&] { return surface->text(QAccessible::Description); };
        QCOMPARE(surface->text(QAccessible::Name), QStringLiteral("Droite graduée"));
        TestProgram::type(game, "30,5");
        QCOMPARE(described(), QStringLiteral("Le nombre en rouge est entre 0 et 1000.\n"
                                             "Essai n° 1 : 30,5\nScore : 0 sur 10."));
        TestProgram::key(game, Qt::Key_Return);
        QCOMPARE(described(), QStringLiteral("Le nombre en rouge est entre 30,5 et 1000.\n"
                                             "Essai n° 2 : \nTrop petit.\nScore : 0 sur 10."));
        TestProgram::key(game, Qt::Key_Escape);
        QVERIFY(described().contains(QStringLiteral("\nSolution : 305.\n")));
        auto* loupe = QAccessible::queryAccessibleInterface(game->image(Image::Loupe));
        QCOMPARE(loupe->text(QAccessible::Name), QStringLiteral("Loupe : agrandir l'intervalle"));
        QCOMPARE(loupe->text(QAccessible::Description), game->image(Image::Loupe)->toolTip());
    }

    void realWaitsLastTheirTime() {
        // The production clock: a wait never ends early, and "more than" is strict.
        SystemClock clock;
        RoundState state;
        Pacer pacer(clock, state);
        Surface surface(QSizeF(10, 10), 1, Qt::white);
        for (double seconds : {0.004, 0.02}) {
            const auto start = clock.now();
            pacer.wait(surface, seconds);
            QVERIFY(clock.now() - start >= std::chrono::duration<double>(seconds));
        }
        const auto start = clock.now();
        pacer.waitMoreThan(surface, 0.1);
        QVERIFY(clock.now() - start > std::chrono::duration<double>(0.1));
    }
};

QTEST_MAIN(GameplayTest)
#include "test_gameplay.moc"
