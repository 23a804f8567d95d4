// The program on a real X server under a real window manager, as a pupil's
// desktop runs it (desktop/run.sh starts both): windows the window manager
// minimized, and what reaches the screen while an animation waits. Keys and
// clicks are real X input, sent with xdotool.
#include "Controls.h"
#include "DesktopLocale.h"
#include "NumberText.h"
#include "TestProgram.h"

#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

using namespace quiltaro;
using quiltaro::test::TestProgram;

namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}
QString xdotool(const QStringList& arguments) {
    return run(QStringLiteral("xdotool"), arguments);
}
QString id(QWidget* window) {
    return QString::number(window->winId());
}
// The window manager's own word on a window, not Qt's.
bool iconified(QWidget* window) {
    return run(QStringLiteral("xprop"), {"-id", id(window), "WM_STATE"}).contains("Iconic");
}
bool activeOnScreen(QWidget* window) {
    return xdotool({"getactivewindow"}) == id(window);
}
void minimize(QWidget* window) {
    xdotool({"windowminimize", "--sync", id(window)});
    QTRY_VERIFY_WITH_TIMEOUT(window->isMinimized(), 5000);
}
// A real click in the middle of a control, wherever the window manager put
// its window.
void clickOn(QWidget* control) {
    const QPoint p = control->mapToGlobal(control->rect().center());
    xdotool({"mousemove", "--sync", QString::number(p.x()), QString::number(p.y()), "click", "1"});
}
void press(QWidget* window, const QString& key) {
    xdotool({"windowactivate", "--sync", id(window)});
    QTRY_VERIFY_WITH_TIMEOUT(window->isActiveWindow(), 5000);
    xdotool({"key", key});
}
QWidget* child(QWidget* window, const char* name) {
    return window->findChild<QWidget*>(QString::fromUtf8(name));
}
bool isBackOnTop(QWidget* window) {
    return !iconified(window) && !window->isMinimized() && activeOnScreen(window) &&
           window->isActiveWindow();
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }

    // Opening a window the pupil minimized brings it back, in front and
    // active, so that its activation reaction runs.
    void aMinimizedWindowComesBack_data() {
        QTest::addColumn<QString>("how");
        for (const char* how :
             {"commencer", "welcome key", "game arret", "game escape", "tenth point"})
            QTest::newRow(how) << QString::fromLatin1(how);
    }
    void aMinimizedWindowComesBack() {
        QFETCH(QString, how);
        TestProgram t;
        WelcomeWindow* welcome = t.program.welcome();
        QTRY_VERIFY_WITH_TIMEOUT(activeOnScreen(welcome), 5000);
        if (how == "commencer") {
            GameWindow* game = t.openGame();
            QTRY_VERIFY_WITH_TIMEOUT(isBackOnTop(game), 5000);
            minimize(game);
            xdotool({"windowactivate", "--sync", id(welcome)});
            const int rounds = t.random.generations;
            clickOn(child(welcome, "Commande2"));
            QTRY_VERIFY_WITH_TIMEOUT(isBackOnTop(game), 5000);
            QTRY_COMPARE_WITH_TIMEOUT(t.random.generations, rounds + 1, 5000);
            return;
        }
        GameWindow* game = nullptr;
        if (how != "welcome key") {
            game = t.openGame();
            QTRY_VERIFY_WITH_TIMEOUT(isBackOnTop(game), 5000);
        }
        t.program.openFarewell();
        FarewellWindow* farewell = t.program.farewell();
        QTRY_VERIFY_WITH_TIMEOUT(isBackOnTop(farewell), 5000);
        minimize(farewell);
        if (how == "welcome key") {
            press(welcome, "b");
        } else if (how == "tenth point") {
            press(game, "Escape"); // gives up, so that the score can be set
            QTRY_VERIFY_WITH_TIMEOUT(game->isShown(Image::Arret), 5000);
            press(game, "Return");
            QTRY_VERIFY_WITH_TIMEOUT(!game->isShown(Image::Arret), 5000);
            t.state().score = 8; // and the red value at the first try: two points
            xdotool({"type", "--delay", "30",
                     QString::fromStdString(shortestDecimal(t.state().redValue))});
            press(game, "Return");
            QTRY_COMPARE_WITH_TIMEOUT(t.state().score, std::int16_t(10), 5000);
            press(game, "Return"); // the next round is the end of the game
        } else {
            press(game, "Escape"); // gives the round up: the round is over
            QTRY_VERIFY_WITH_TIMEOUT(game->isShown(Image::Arret), 5000);
            if (how == "game arret")
                clickOn(game->image(Image::Arret));
            else
                press(game, "Escape");
        }
        QTRY_VERIFY_WITH_TIMEOUT(isBackOnTop(farewell), 5000);
        // Keys go to the farewell window now, not to a blank game window.
        if (game && how == "tenth point")
            QVERIFY(!game->isActiveWindow());
    }

    // A pupil who clicks a name in "Qui joue ?" comes to the game window
    // once: one round, not one before the window manager hands the focus
    // back to the welcome window and one after.
    void aChosenPupilsGameStartsOneRound() {
        TestProgram t;
        t.program.setClassList({"Léa", "Tom"}, [](const QString&) {});
        WelcomeWindow* welcome = t.program.welcome();
        QTRY_VERIFY_WITH_TIMEOUT(activeOnScreen(welcome), 5000);
        for (const char* pupil : {"Léa", "Tom", "Léa", "Tom"}) {
            xdotool({"windowactivate", "--sync", id(welcome)});
            QTRY_VERIFY_WITH_TIMEOUT(welcome->isActiveWindow(), 5000);
            clickOn(child(welcome, "Commande2"));
            QTRY_VERIFY_WITH_TIMEOUT(t.program.chooser() && t.program.chooser()->isActiveWindow(),
                                     5000);
            PupilChooser* chooser = t.program.chooser();
            QTRY_VERIFY_WITH_TIMEOUT(activeOnScreen(chooser), 5000);
            const int rounds = t.random.generations;
            clickOn(chooser->buttonOf(QString::fromUtf8(pupil)));
            QTRY_VERIFY_WITH_TIMEOUT(t.program.game() && isBackOnTop(t.program.game()), 5000);
            QTest::qWait(500); // what the window manager may still have to say
            QCOMPARE(t.random.generations, rounds + 1);
            QVERIFY(!chooser->isVisible());
        }
    }

    // Every frame an animation waits on is on the screen whole, controls
    // included: the arrow shown for a point lost is there during the blink.
    void theArrowIsOnScreenDuringTheBlink() {
        TestProgram t;
        GameWindow* game = t.openGame();
        QTRY_VERIFY_WITH_TIMEOUT(isBackOnTop(game), 5000);
        QWidget* arrow = game->image(Image::Fleche);
        const QRect onScreen(arrow->mapToGlobal(QPoint(0, 0)), arrow->size());
        int frames = 0, framesWithArrow = 0;
        t.clock.onSleep = [&](Clock::Duration) {
            const QImage shot =
                QGuiApplication::primaryScreen()
                    ->grabWindow(0, onScreen.x(), onScreen.y(), onScreen.width(), onScreen.height())
                    .toImage();
            int dark = 0;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x)
                    dark += qGray(shot.pixel(x, y)) < 64;
            ++frames;
            framesWithArrow += dark > 20;
        };
        press(game, "1");
        press(game, "5");
        press(game, "0");
        press(game, "0"); // 1500: outside 0 to 1000
        press(game, "Return");
        QTRY_VERIFY_WITH_TIMEOUT(game->isShown(Image::Fleche), 5000);
        t.clock.onSleep = nullptr;
        QCOMPARE(frames, 20);
        QCOMPARE(framesWithArrow, frames);
    }
};

QTEST_MAIN(DesktopTest)
#include "test_desktop.moc"
