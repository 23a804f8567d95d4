// The three windows as a pupil meets them: layout, navigation, activation,
// keys seen before the controls, the farewell and the end of the program.
#include "Controls.h"
#include "Palette.h"
#include "SurfaceView.h"
#include "TestProgram.h"

#include <QLabel>
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
    window->activateWindow();
    QApplication::setActiveWindow(window);
    TestProgram::settle();
}

} // namespace

class WindowsTest : public QObject {
    Q_OBJECT
private slots:
    void startupShowsTheWelcomeIllustration();
    void layoutMatchesTheDesign_data();
    void layoutMatchesTheDesign();
    void gameWindowStartsARoundAtEveryVisit();
    void comingBackFromAnotherProgramIsNoVisit();
    void closedWindowIsCreatedAfreshWithItsLoad();
    void welcomeKeysGoToTheWindowFirst();
    void oneFarewellWindowHoweverOpened();
    void farewellArrowEndsEverything();
    void tenPointsEndTheGameOnABlankWindow();
    void continuingAfterALostPointErasesTheJudgement();
};

void WindowsTest::startupShowsTheWelcomeIllustration() {
    TestProgram t;
    WelcomeWindow* welcome = t.program.welcome();
    QCOMPARE(welcome->windowTitle(), QStringLiteral("accueil"));
    QVERIFY(welcome->isActiveWindow());
    QCOMPARE(t.state().score, 0);
    QCOMPARE(t.state().tryNumber, 0);
    QCOMPARE(welcome->size(), QSize(980, 569));
    // Band, line, brackets, mark.
    QCOMPARE(at(welcome, 100, 110), paletteColor(palette::lightCyan));
    QCOMPARE(at(welcome, 300, 120), paletteColor(palette::lightBlue));
    QCOMPARE(at(welcome, 40, 130), paletteColor(palette::blue));
    QCOMPARE(at(welcome, 430, 105), paletteColor(palette::blue));
    QCOMPARE(at(welcome, 199, 115), paletteColor(palette::lightRed));
    QCOMPARE(at(welcome, 35, 130), paletteColor(palette::white));
    // Drawn again at the next visit: the very same pixels.
    const QImage before = welcome->surfaceView()->surface().image();
    welcome->drawWelcomeIllustration();
    QCOMPARE(welcome->surfaceView()->surface().image(), before);
}

void WindowsTest::layoutMatchesTheDesign_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("twipRect");
    QTest::addColumn<bool>("shownAtCreation");
    auto row = [](const char* w, const char* c, QRect r, bool shown) {
        QTest::addRow("%s.%s", w, c) << QString(w) << QString::fromUtf8(c) << r << shown;
    };
    row("accueil", "titre", {1440, 480, 6495, 615}, true);
    row("accueil", "Texte2", {1560, 3600, 6375, 855}, true);
    row("accueil", "Commande2", {10320, 7800, 3135, 495}, true);
    row("accueil", "Label1", {9720, 3120, 3975, 855}, true);
    row("accueil", "Label4", {1800, 7680, 5535, 735}, true);
    row("accueil", "Image2", {11040, 2000, 870, 855}, true);
    row("accueil", "arret", {240, 7800, 480, 480}, true);
    row("Quiltaro", "partie", {2505, 480, 4605, 390}, true);
    row("Quiltaro", "Loupe", {9960, 2040, 870, 855}, false);
    row("Quiltaro", "flèche", {9360, 8040, 480, 480}, false); // hidden by the first round
    row("Quiltaro", "arret", {120, 8040, 480, 480}, false);
    row("Aurevoir", "Label2", {7440, 3960, 3015, 1095}, true);
    row("Aurevoir", "flèche", {11280, 4200, 480, 480}, true);
    row("Aurevoir", "mail", {8760, 8040, 3075, 285}, true);
}

void WindowsTest::layoutMatchesTheDesign() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QRect, twipRect);
    QFETCH(bool, shownAtCreation);
    TestProgram t;
    t.openGame();
    t.program.openFarewell();
    TestProgram::settle();
    QWidget* w = window == "accueil"    ? static_cast<QWidget*>(t.program.welcome())
                 : window == "Quiltaro" ? static_cast<QWidget*>(t.program.game())
                                        : static_cast<QWidget*>(t.program.farewell());
    QWidget* c = w->findChild<QWidget*>(control);
    QVERIFY(c);
    QCOMPARE(c->geometry(), twips(twipRect.x(), twipRect.y(), twipRect.width(), twipRect.height()));
    QCOMPARE(!c->isHidden(), shownAtCreation);
}

void WindowsTest::gameWindowStartsARoundAtEveryVisit() {
    TestProgram t;
    GameWindow* game = t.openGame();
    QVERIFY(game);
    QCOMPARE(t.random.generations, 1);
    QCOMPARE(game->size(), QSize(861, 568));
    QCOMPARE(game->windowTitle(), QString());
    QVERIFY(!game->isShown(Image::Fleche) && !game->isShown(Image::Arret));
    QVERIFY(!game->isShown(Image::Loupe));
    for (ImageControl* box : game->picture1())
        QVERIFY(box->isHidden());
    QCOMPARE(t.state().tryNumber, 1);
    // No score frame at 0 points.
    QCOMPARE(at(game, 140, 412), paletteColor(palette::white));

    activate(t.program.welcome());
    QCOMPARE(t.random.generations, 1);
    t.state().score = 3;
    activate(game); // back from another window of ours: a new round, with its frame
    QCOMPARE(t.random.generations, 2);
    QCOMPARE(at(game, 136, 412), paletteColor(palette::cyan));
    QCOMPARE(at(game, 250, 412), paletteColor(palette::lightCyan));

    // "commencer" again brings the same window, and a new round.
    activate(t.program.welcome());
    QTest::mouseClick(child(t.program.welcome(), "Commande2"), Qt::LeftButton);
    TestProgram::settle();
    QCOMPARE(t.program.game(), game);
    QCOMPARE(t.random.generations, 3);
    QCOMPARE(t.program.gate().deepestNesting(), 1);
}

void WindowsTest::comingBackFromAnotherProgramIsNoVisit() {
    TestProgram t;
    GameWindow* game = t.openGame();
    QApplication::setActiveWindow(nullptr);
    TestProgram::settle();
    activate(game);
    QCOMPARE(t.random.generations, 1);
}

void WindowsTest::closedWindowIsCreatedAfreshWithItsLoad() {
    TestProgram t;
    QPointer<GameWindow> game = t.openGame();
    t.state().score = 4;
    game->close();
    TestProgram::settle();
    QVERIFY(!game);
    GameWindow* again = t.openGame();
    QVERIFY(again);
    QCOMPARE(t.state().score, 0); // the load reaction ran again
    QCOMPARE(t.state().tryNumber, 1);
}

void WindowsTest::welcomeKeysGoToTheWindowFirst() {
    TestProgram t;
    auto* button = qobject_cast<QPushButton*>(child(t.program.welcome(), "Commande2"));
    button->setFocus();
    // Keys that yield no character do nothing.
    TestProgram::key(button, Qt::Key_Right);
    TestProgram::key(button, Qt::Key_F2);
    TestProgram::key(button, Qt::Key_Shift);
    QVERIFY(!t.program.farewell());
    // Space on the focused button: the window's reaction, and not also the button's.
    TestProgram::key(button, Qt::Key_Space);
    QVERIFY(t.program.farewell());
    QVERIFY(!t.program.game());
}

void WindowsTest::oneFarewellWindowHoweverOpened() {
    for (Qt::Key key : {Qt::Key_A, Qt::Key_5, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Backspace}) {
        TestProgram t;
        TestProgram::key(t.program.welcome(), key);
        QPointer<FarewellWindow> farewell = t.program.farewell();
        QVERIFY2(farewell, qPrintable(QString::number(key)));
        TestProgram::click(child(t.program.welcome(), "arret"));
        GameWindow* game = t.openGame();
        TestProgram::click(game->image(Image::Arret)); // hidden: a click on nothing
        t.program.openFarewell();
        QCOMPARE(t.program.farewell(), farewell.data());
        int farewells = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            farewells += qobject_cast<FarewellWindow*>(w) != nullptr;
        QCOMPARE(farewells, 1);
    }
}

void WindowsTest::farewellArrowEndsEverything() {
    TestProgram t;
    GameWindow* game = t.openGame();
    t.program.openFarewell();
    TestProgram::settle();
    FarewellWindow* farewell = t.program.farewell();
    // Keys and clicks elsewhere on the farewell window do nothing.
    TestProgram::key(farewell, Qt::Key_Escape);
    TestProgram::key(farewell, Qt::Key_Return);
    TestProgram::click(child(farewell, "Label2"));
    TestProgram::click(child(farewell, "mail"));
    TestProgram::click(farewell);
    QCOMPARE(t.endCount, 0);
    QVERIFY(farewell->isVisible());

    // A reaction already queued behind the arrow never runs.
    const int rounds = t.random.generations;
    t.program.react([&] {
        TestProgram::click(child(farewell, "flèche"));
        t.program.react([&] { game->board().startRound(); });
    });
    QCOMPARE(t.endCount, 1);
    QCOMPARE(t.random.generations, rounds);
    QVERIFY(!farewell->isVisible() && !game->isVisible() && !t.program.welcome()->isVisible());
    activate(game);
    QCOMPARE(t.random.generations, rounds);
}

void WindowsTest::tenPointsEndTheGameOnABlankWindow() {
    TestProgram t;
    GameWindow* game = t.openGame();
    t.state().score = 10;
    activate(t.program.welcome());
    activate(game);
    QCOMPARE(t.random.generations, 1);
    QVERIFY(t.program.farewell());
    QVERIFY(!game->isShown(Image::Fleche) && !game->isShown(Image::Arret));
    QImage blank(game->surfaceView()->surface().image().size(), QImage::Format_RGB32);
    blank.fill(Qt::white);
    QCOMPARE(game->surfaceView()->surface().image(), blank);
}

void WindowsTest::continuingAfterALostPointErasesTheJudgement() {
    TestProgram t;
    GameWindow* game = t.openGame();
    Surface& g = game->surfaceView()->surface();
    TestProgram::type(game, "2000");
    TestProgram::key(game, Qt::Key_Return); // outside 0..1000
    QVERIFY(game->isShown(Image::Fleche) && !game->isShown(Image::Arret));
    QCOMPARE(g.pixelAt(240, 285), paletteColor(palette::red)); // the ellipse
    TestProgram::type(game, "12");                             // ignored now
    QCOMPARE(QString::fromStdString(t.state().typedAnswer), QStringLiteral("2000"));
    TestProgram::key(game, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
    QVERIFY(!game->isShown(Image::Fleche));
    QCOMPARE(t.state().tryNumber, 2);
    for (double y : {250.0, 285.0, 299.0, 320.0, 399.0})
        QCOMPARE(g.pixelAt(240, y), paletteColor(palette::white));
    QVERIFY(t.state().typedAnswer.empty());
}

QTEST_MAIN(WindowsTest)
#include "test_windows.moc"
