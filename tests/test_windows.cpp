// The three windows as a pupil meets them: layout, visits, keys seen before
// the controls, the farewell and the end of the program.
#include "Controls.h"
#include "DesktopLocale.h"
#include "Palette.h"
#include "SurfaceView.h"
#include "TestProgram.h"

#include <QPushButton>
#include <QtTest>

using namespace quiltaro;
using quiltaro::test::TestProgram;

namespace {
QColor at(ProgramWindow* window, double x, double y) {
    return window->surfaceView()->surface().pixelAt(x, y);
}
QWidget* child(QWidget* window, const char* name) {
    return window->findChild<QWidget*>(QString::fromUtf8(name));
}
void activate(QWidget* window) {
    QApplication::setActiveWindow(window);
    TestProgram::settle();
}
} // namespace

class WindowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QUILTARO_ADOPT_DESKTOP_LOCALE(); }
    void startupShowsTheWelcomeIllustration() {
        TestProgram t;
        WelcomeWindow* welcome = t.program.welcome();
        QCOMPARE(welcome->windowTitle(), QStringLiteral("accueil"));
        QVERIFY(welcome->isActiveWindow());
        QCOMPARE(welcome->size(), QSize(980, 569));
        QCOMPARE(at(welcome, 100, 110), paletteColor(palette::lightCyan));
        QCOMPARE(at(welcome, 40, 130), paletteColor(palette::blue));
        QCOMPARE(at(welcome, 199, 115), paletteColor(palette::lightRed));
        const QImage before = welcome->surfaceView()->surface().image();
        welcome->drawWelcomeIllustration();
        QCOMPARE(welcome->surfaceView()->surface().image(), before);
    }

    void layoutMatchesTheDesign_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRect>("twipRect");
        QTest::addColumn<bool>("shown");
        auto row = [](int w, const char* c, QRect r, bool shown) {
            QTest::addRow("%d.%s", w, c) << w << QString::fromUtf8(c) << r << shown;
        };
        row(0, "titre", {1440, 480, 6495, 615}, true);
        row(0, "Commande2", {10320, 7800, 3135, 495}, true);
        row(0, "Image2", {11040, 2000, 870, 855}, true);
        row(1, "partie", {2505, 480, 4605, 390}, true);
        row(1, "Loupe", {9960, 2040, 870, 855}, false);
        row(1, "flèche", {9360, 8040, 480, 480}, false); // hidden by the first round
        row(2, "Label2", {7440, 3960, 3015, 1095}, true);
        row(2, "flèche", {11280, 4200, 480, 480}, true);
    }
    void layoutMatchesTheDesign() {
        QFETCH(int, window);
        QFETCH(QString, control);
        QFETCH(QRect, twipRect);
        QFETCH(bool, shown);
        TestProgram t;
        t.openGame();
        t.program.openFarewell();
        QWidget* windows[] = {t.program.welcome(), t.program.game(), t.program.farewell()};
        QWidget* c = windows[window]->findChild<QWidget*>(control);
        QVERIFY(c);
        QCOMPARE(c->geometry(),
                 twips(twipRect.x(), twipRect.y(), twipRect.width(), twipRect.height()));
        QCOMPARE(!c->isHidden(), shown);
    }

    void aRoundStartsAtEveryVisitFromAnotherWindow() {
        TestProgram t;
        GameWindow* game = t.openGame();
        QCOMPARE(t.random.generations, 1);
        QCOMPARE(game->size(), QSize(861, 568));
        QCOMPARE(at(game, 137, 412), paletteColor(palette::white)); // no score frame at 0
        QApplication::setActiveWindow(nullptr); // away to another program and back
        activate(game);
        QCOMPARE(t.random.generations, 1);
        activate(t.program.welcome());
        t.state().score = 3;
        activate(game);
        QCOMPARE(t.random.generations, 2);
        QCOMPARE(at(game, 136, 412), paletteColor(palette::cyan));
        activate(t.program.welcome());
        TestProgram::click(child(t.program.welcome(), "Commande2"));
        QCOMPARE(t.program.game(), game); // the same window again
        QCOMPARE(t.random.generations, 3);
        QPointer<GameWindow> closed = game;
        game->close(); // through the window system: created afresh, with its load
        TestProgram::settle();
        QVERIFY(!closed);
        t.openGame();
        QCOMPARE(t.state().score, 0);
        QCOMPARE(t.random.generations, 4);
        QCOMPARE(t.program.gate().deepestNesting(), 1);
    }

    void welcomeKeysOpenOneFarewellWindow() {
        TestProgram t;
        auto* button = child(t.program.welcome(), "Commande2");
        button->setFocus();
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_F2, Qt::Key_Shift})
            TestProgram::key(button, key);
        QVERIFY(!t.program.farewell());
        // Space on the focused button: the window's reaction, not the button's.
        TestProgram::key(button, Qt::Key_Space);
        QPointer<FarewellWindow> farewell = t.program.farewell();
        QVERIFY(farewell && !t.program.game());
        for (Qt::Key key : {Qt::Key_A, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Backspace}) {
            activate(t.program.welcome());
            TestProgram::key(t.program.welcome(), key);
            QVERIFY(farewell->isActiveWindow());
        }
        TestProgram::click(child(t.program.welcome(), "arret"));
        QCOMPARE(t.program.farewell(), farewell.data());
        QCOMPARE(QApplication::topLevelWidgets().size(), 2);
    }

    void farewellArrowEndsEverything() {
        TestProgram t;
        GameWindow* game = t.openGame();
        t.program.openFarewell();
        FarewellWindow* farewell = t.program.farewell();
        TestProgram::key(farewell, Qt::Key_Escape);
        TestProgram::click(child(farewell, "Label2"));
        QCOMPARE(t.endCount, 0);
        const int rounds = t.random.generations;
        t.program.react([&] { // a reaction queued behind the arrow never runs
            TestProgram::click(child(farewell, "flèche"));
            t.program.react([&] { game->board().startRound(); });
        });
        QCOMPARE(t.endCount, 1);
        QVERIFY(!farewell->isVisible() && !game->isVisible() && !t.program.welcome()->isVisible());
        activate(game);
        QCOMPARE(t.random.generations, rounds);
    }
};

QTEST_MAIN(WindowsTest)
#include "test_windows.moc"
