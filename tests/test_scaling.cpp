// Windows shown at other sizes than their design: where they open on a screen,
// and everything in them scaled together, drawn and clicked where it is drawn.
#include "Controls.h"
#include "DesktopLocale.h"
#include "Palette.h"
#include "SurfaceView.h"
#include "TestProgram.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

using namespace quiltaro;
using quiltaro::test::TestProgram;

namespace {
QWidget* child(QWidget* window, const char* name) {
    return window->findChild<QWidget*>(QString::fromUtf8(name));
}
// A design rectangle at a content scale, its edges scaled, from the content's origin.
QRect scaledRect(QRect design, double k, QPoint origin = {}) {
    auto e = [k](int v) { return int(std::lround(v * k)); };
    return QRect(origin + QPoint(e(design.left()), e(design.top())),
                 origin + QPoint(e(design.right() + 1) - 1, e(design.bottom() + 1) - 1));
}
// Clicks at a point of the window as the window system does: on the widget under it.
void clickAt(QWidget* window, QPoint point) {
    QWidget* target = window->childAt(point);
    QVERIFY2(target, "nothing there");
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(window, point));
    TestProgram::settle();
}
void resizeTo(QWidget* window, QSize size) {
    window->resize(size);
    TestProgram::settle();
}
} // namespace

class ScalingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QUILTARO_ADOPT_DESKTOP_LOCALE(); }
    void windowsOpenWhereTheyFit_data() {
        QTest::addColumn<QSize>("design");
        QTest::addColumn<QPoint>("wanted");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("expected");
        const QSize welcome(980, 569), game(861, 568);
        // A title bar of 32 and borders of 4.
        QTest::newRow("fits: as designed")
            << welcome << QPoint(72, 99) << QRect(0, 0, 1920, 1080) << QRect(72, 99, 980, 569);
        QTest::newRow("1920x1080 at 200 %: scaled to the height, moved up")
            << welcome << QPoint(72, 99) << QRect(0, 0, 960, 540) << QRect(72, 32, 868, 504);
        QTest::newRow("1366x768, panel of 40 below: moved up, not scaled")
            << game << QPoint(82, 198) << QRect(0, 0, 1366, 728) << QRect(82, 156, 861, 568);
        QTest::newRow("panel above and left: moved down and right")
            << game << QPoint(0, 0) << QRect(48, 40, 1318, 728) << QRect(52, 72, 861, 568);
        QTest::newRow("narrow: scaled to the width")
            << welcome << QPoint(500, 99) << QRect(0, 0, 498, 1000) << QRect(4, 99, 490, 285);
        QTest::newRow("tiny: never below a quarter")
            << game << QPoint(82, 198) << QRect(0, 0, 100, 100) << QRect(4, 32, 215, 142);
    }
    void windowsOpenWhereTheyFit() {
        QFETCH(QSize, design);
        QFETCH(QPoint, wanted);
        QFETCH(QRect, available);
        QFETCH(QRect, expected);
        QCOMPARE(ProgramWindow::fittedGeometry(design, wanted, available, QMargins(4, 32, 4, 4)),
                 expected);
    }

    // Run on a screen of 1920 x 1080, and again on the same at 200 % (ctest runs both).
    void windowsOpenAtDesignSizeOrScaledToFit() {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect available = screen->availableGeometry();
        const bool large = available.height() >= 1080;
        QVERIFY(large || available == QRect(0, 0, 960, 540));
        TestProgram t;
        t.openGame();
        t.program.openFarewell();
        const std::pair<ProgramWindow*, QPoint> windows[] = {{t.program.welcome(), QPoint(72, 99)},
                                                             {t.program.game(), QPoint(82, 198)},
                                                             {t.program.farewell(), QPoint()}};
        for (auto [window, designPlace] : windows) {
            const QRect client = window->geometry();
            const double k = window->contentScale();
            if (large) {
                QCOMPARE(std::pair(client.size(), k), std::pair(window->designSize(), 1.0));
                if (!designPlace.isNull())
                    QCOMPARE(client.topLeft(), designPlace);
                continue;
            }
            // Whole on the screen with its frame, in proportion, drawn at the screen's
            // resolution.
            // (The farewell window is placed by the window system.)
            const QRect room = available.marginsRemoved(QMargins(4, 32, 4, 4));
            QVERIFY2(designPlace.isNull()
                         ? client.width() <= room.width() && client.height() <= room.height()
                         : room.contains(client),
                     qPrintable(window->objectName()));
            QVERIFY(k < 1 && qAbs(client.width() - window->designSize().width() * k) < 1);
            QVERIFY(qAbs(client.height() - window->designSize().height() * k) < 1);
            if (SurfaceView* view = window->surfaceView()) {
                QCOMPARE(view->surface().scale(), 96.0 / 72 * 2 * k);
                QCOMPARE(view->surface().image().size(), view->size() * 2);
            }
        }
    }

    // Resized, maximised or full screen, a window shows its content uniformly scaled and
    // centred: every control at its scaled rectangle in a scaled font, the surface drawn
    // again at the new resolution.
    void everythingScalesTogether_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("k");
        QTest::addColumn<QPoint>("origin");
        QTest::newRow("twice") << QSize(1960, 1138) << 2.0 << QPoint(0, 0);
        QTest::newRow("full HD, wider than the design")
            << QSize(1920, 1080) << 1080 / 569.0 << QPoint(braced(1920, 980, 1080 / 569.0), 0);
        QTest::newRow("tall: centred vertically") << QSize(980, 1000) << 1.0 << QPoint(0, 215);
        QTest::newRow("smaller") << QSize(735, 427) << 0.75 << QPoint(0, 0);
    }
    void everythingScalesTogether() {
        QFETCH(QSize, size);
        QFETCH(double, k);
        QFETCH(QPoint, origin);
        TestProgram t;
        WelcomeWindow* welcome = t.program.welcome();
        const Surface& g = welcome->surfaceView()->surface();
        struct Control {
            const char* name;
            QRect twipRect;
            double points;
        };
        const Control controls[] = {{"titre", {1440, 480, 6495, 615}, 24},
                                    {"Label4", {1800, 7680, 5535, 735}, 13.5},
                                    {"Commande2", {10320, 7800, 3135, 495}, 12},
                                    {"Image2", {11040, 2000, 870, 855}, 0},
                                    {"arret", {240, 7800, 480, 480}, 0}};
        resizeTo(welcome, size);
        QCOMPARE(welcome->contentScale(), k);
        for (const Control& c : controls) {
            QWidget* w = child(welcome, c.name);
            const QRect r = c.twipRect;
            QCOMPARE(w->geometry(),
                     scaledRect(twips(r.x(), r.y(), r.width(), r.height()), k, origin));
            if (c.points > 0) // in whole pixels, never larger than the scaled design
                QCOMPARE(QFontInfo(w->font()).pixelSize(), qFloor(c.points * 96 / 72 * k + 1e-9));
        }
        QCOMPARE(welcome->surfaceView()->geometry(), scaledRect(QRect(0, 0, 980, 569), k, origin));
        QCOMPARE(g.scale(), 96.0 / 72 * welcome->devicePixelRatioF() * k);
        QCOMPARE(g.image().size(), QSize(qCeil(735 * g.scale()), qCeil(426.75 * g.scale())));
        // The illustration is all there at the new scale.
        QCOMPARE(g.pixelAt(100, 110), paletteColor(palette::lightCyan));
        QCOMPARE(g.pixelAt(39.75, 130), paletteColor(palette::blue)); // in the bracket's stroke
        QCOMPARE(g.pixelAt(198.75, 115), paletteColor(palette::lightRed));
        // The pictures are drawn anew at their scaled size: the stop sign fills its box.
        const QImage shown = welcome->grab().toImage();
        const QRect arret = child(welcome, "arret")->geometry();
        for (double across : {0.5, 0.75}) { // in its red face, above the word
            const QPointF at(arret.left() + arret.width() * across,
                             arret.top() + arret.height() * 0.2);
            const QColor c = shown.pixel((at * shown.devicePixelRatio()).toPoint());
            QVERIFY2(c.red() > 200 && c.green() < 100, qPrintable(c.name()));
        }
        // Back at the design size, all is as designed.
        resizeTo(welcome, QSize(980, 569));
        QCOMPARE(child(welcome, "Commande2")->geometry(), twips(10320, 7800, 3135, 495));
        QCOMPARE(child(welcome, "titre")->font().pointSizeF(), 24.0);
        QCOMPARE(g.image().size(), QSize(980, 569) * welcome->devicePixelRatioF());
    }

    // Clicks where the targets are drawn, in a scaled welcome and a full-screen game.
    void clicksReachWhatIsDrawnThere() {
        TestProgram t;
        WelcomeWindow* welcome = t.program.welcome();
        // Scaled text takes no larger share of its label than at design size: it wraps
        // into as many lines as designed, none of them cut off.
        auto lines = [](QLabel* label) {
            return qRound(label->heightForWidth(label->width()) /
                          double(QFontMetrics(label->font()).lineSpacing()));
        };
        QMap<QLabel*, int> designLines;
        for (QLabel* label : welcome->findChildren<QLabel*>())
            designLines[label] = lines(label);
        resizeTo(welcome, QSize(1470, 854)); // 1.5
        const QRect commencer = scaledRect(twips(10320, 7800, 3135, 495), 1.5);
        for (auto [label, count] : designLines.asKeyValueRange())
            QVERIFY2(lines(label) == count, qPrintable(label->objectName()));
        QVERIFY(welcome->childAt(twips(10320, 7800, 3135, 495).center()) !=
                child(welcome, "Commande2"));
        clickAt(welcome, commencer.center());
        GameWindow* game = t.program.game();
        QVERIFY(game && game->isActiveWindow());
        resizeTo(game, QSize(1920, 1080));
        const double k = 1080 / 568.0;
        const QPoint origin((1920 - int(std::lround(861 * k))) / 2, 0);
        QLabel* partie = game->findChild<QLabel*>(QStringLiteral("partie"));
        designLines[partie] = 1;
        for (auto [label, count] : designLines.asKeyValueRange())
            QVERIFY2(lines(label) == count, qPrintable(label->objectName()));
        game->setShown(Image::Loupe, true);
        RoundState& s = t.state();
        clickAt(game, scaledRect(twips(9960, 2040, 870, 855), k, origin).center());
        QCOMPARE(std::pair(game->isShown(Image::Loupe), int(s.zoomStep)), std::pair(false, -2));
        t.type(game, QString::number(s.redValue, 'f', 0));
        TestProgram::key(game, Qt::Key_Return);
        QVERIFY(game->isShown(Image::Fleche));
        clickAt(game, scaledRect(twips(120, 8040, 480, 480), k, origin).center()); // arret
        FarewellWindow* farewell = t.program.farewell();
        QVERIFY(farewell && farewell->isActiveWindow());
        resizeTo(farewell, farewell->designSize() * 2);
        clickAt(farewell, scaledRect(twips(11280, 4200, 480, 480), 2).center()); // flèche
        QCOMPARE(t.endCount, 1);
    }

    // F11 gives no character to the game and puts the window full screen and back.
    void f11TogglesFullScreen() {
        TestProgram t;
        GameWindow* game = t.openGame();
        TestProgram::key(game, Qt::Key_F11);
        QVERIFY(game->isFullScreen());
        QVERIFY(t.state().shownAnswer.empty());
        QCOMPARE(game->size(), QSize(1920, 1080));
        QVERIFY(qAbs(game->contentScale() - 1080 / 568.0) < 1e-9);
        TestProgram::key(game, Qt::Key_F11);
        QVERIFY(!game->isFullScreen());
        QCOMPARE(game->size(), QSize(861, 568));
        // On the welcome window, where any character leaves, F11 does not.
        TestProgram::key(t.program.welcome(), Qt::Key_F11);
        QVERIFY(!t.program.farewell());
        QVERIFY(t.program.welcome()->isFullScreen());
    }

    // Full screen (or maximized) for the class, the next windows open the same
    // way; from a window at its design size they open at theirs.
    void windowsOpenAsLargeAsTheirOpener() {
        {
            TestProgram t;
            TestProgram::key(t.program.welcome(), Qt::Key_F11);
            GameWindow* game = t.openGame();
            QVERIFY(game->isFullScreen());
            QCOMPARE(game->size(), QSize(1920, 1080));
            TestProgram::key(game, Qt::Key_Escape);
            TestProgram::click(child(game, "arret"));
            QVERIFY(t.program.farewell()->isFullScreen());
        }
        {
            TestProgram t;
            t.program.welcome()->showMaximized();
            TestProgram::settle();
            GameWindow* game = t.openGame();
            QVERIFY(game->isMaximized() && !game->isFullScreen());
            // Back to design size, the game window keeps the size it was given.
            TestProgram::key(game, Qt::Key_F11);
            t.program.welcome()->showNormal();
            TestProgram::settle();
            t.program.welcome()->activateWindow();
            TestProgram::settle();
            TestProgram::key(t.program.welcome(), Qt::Key_A);
            QVERIFY(!t.program.farewell()->isMaximized() && !t.program.farewell()->isFullScreen());
            QVERIFY(game->isFullScreen());
        }
        {
            TestProgram t;
            GameWindow* game = t.openGame();
            QVERIFY(!game->isMaximized() && !game->isFullScreen());
            QCOMPARE(game->size(), QSize(861, 568));
        }
    }

private:
    static int braced(int width, int design, double k) {
        return (width - int(std::lround(design * k))) / 2;
    }
};

QTEST_MAIN(ScalingTest)
#include "test_scaling.moc"
