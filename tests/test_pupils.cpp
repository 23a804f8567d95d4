// A class of pupils on one login: "Qui joue ?" played with real clicks and
// keys, each pupil's rounds in a record of their own, a personal login in
// the account's name, and a long class that scrolls.
#include "Controls.h"
#include "DesktopLocale.h"
#include "GameRecording.h"
#include "LoginTesting.h"
#include "NumberText.h"
#include "Pupils.h"
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Spill.h"
#include "TestProgram.h"

#include <QAccessible>
#include <QPushButton>
#include <QScrollArea>
#include <QtTest>

#include <mutex>
#include <set>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

QString text(double v) {
    return QString::fromStdString(shortestDecimal(v));
}

} // namespace

class PupilsTest : public QObject {
    Q_OBJECT
    TestLogin login;
    QString classList() const { return login.classList(); }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        login.setUp();
    }

    void init() { login.empty(); }

    // A shared login with a class list: three pupils sit down in turn, choose
    // their name with the mouse and with the keyboard, and each one's rounds
    // go to that pupil's own record.
    void threePupilsTakeTurnsOnOneLogin() {
        writeClassList(classList(), {"Zoé Lefèvre-N'Diaye", "Léo", "Inès"});
        Reports reports;
        GameRecording recording(reports.report);
        QCOMPARE(recording.classList().size(), 3);
        // What sends rounds on to a class's server hears of every pupil's record.
        std::mutex toldMutex;
        std::set<QString> told;
        recording.whenWritten([&](const QString& path) {
            const std::lock_guard lock(toldMutex);
            told.insert(path);
        });
        TestProgram t;
        t.program.setRoundObserver(recording.observer());
        t.program.setClassList(recording.classList(),
                               [&](const QString& pupil) { recording.choose(pupil); });
        RoundState& s = t.state();

        // "commencer" asks first; Escape goes back without a game.
        QVERIFY(!t.openGame());
        PupilChooser* chooser = t.program.chooser();
        QVERIFY(chooser && chooser->isVisible());
        QCOMPARE(chooser->windowTitle(), QStringLiteral("Qui joue ?"));
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(chooser);
        QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Qui joue ?"));
        QVERIFY(!window->text(QAccessible::Description).isEmpty());
        for (const QString& name : recording.classList()) {
            QAccessibleInterface* button =
                QAccessible::queryAccessibleInterface(chooser->buttonOf(name));
            QCOMPARE(button->role(), QAccessible::Button);
            QCOMPARE(button->text(QAccessible::Name), name);
        }
        // Nobody played yet in this run: no name is offered, and Enter
        // chooses nobody. The names follow the alphabet, not the list.
        QCOMPARE(QApplication::focusWidget(), chooser);
        TestProgram::key(chooser, Qt::Key_Return);
        QVERIFY(chooser->isVisible() && !t.program.game());
        TestProgram::key(chooser, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), chooser->buttonOf("Inès"));
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), chooser->buttonOf("Léo"));
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!chooser->isVisible());
        QVERIFY(!t.program.game());

        // Zoé clicks her name and wins a round.
        t.openGame();
        TestProgram::click(chooser->buttonOf("Zoé Lefèvre-N'Diaye"));
        GameWindow* game = t.program.game();
        QVERIFY(game && game->isVisible() && !chooser->isVisible());
        TestProgram::type(game, "1001\r\r" + text(s.redValue) + "\r");
        QCOMPARE(s.score, 2);
        auto pointsShown = [&] {
            int shown = 0;
            for (ImageControl* point : game->findChildren<ImageControl*>("Picture1"))
                shown += point->isHidden() ? 0 : 1;
            return shown;
        };
        QCOMPARE(pointsShown(), 2);

        // Back at the welcome window she is asked again, her name already
        // chosen: Enter, and her game goes on where it was.
        QApplication::setActiveWindow(t.program.welcome());
        TestProgram::settle();
        t.openGame();
        QVERIFY(chooser->isVisible());
        QCOMPARE(QApplication::focusWidget(), chooser->buttonOf("Zoé Lefèvre-N'Diaye"));
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(game->isActiveWindow());
        QCOMPARE(s.score, 2);

        // Léo sits down: his initial, then Enter. His game starts at nought.
        QApplication::setActiveWindow(t.program.welcome());
        TestProgram::settle();
        t.openGame();
        TestProgram::type(QApplication::focusWidget(), "l");
        QCOMPARE(QApplication::focusWidget(), chooser->buttonOf("Léo"));
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(s.score, 0);
        QCOMPARE(pointsShown(), 0); // nor Zoé's points
        TestProgram::type(game, text(s.lowBound) + "\r");
        TestProgram::key(game, Qt::Key_Escape);

        // Inès: arrows, then Space.
        QApplication::setActiveWindow(t.program.welcome());
        TestProgram::settle();
        t.openGame();
        QCOMPARE(QApplication::focusWidget(), chooser->buttonOf("Léo"));
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Left);
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Left); // stays on the first
        QCOMPARE(QApplication::focusWidget(), chooser->buttonOf("Inès"));
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(game->isActiveWindow());
        TestProgram::type(game, text(s.highBound) + "\r");

        t.program.react([&] { t.program.openFarewell(); });
        TestProgram::settle();
        TestProgram::click(t.program.farewell()->findChild<ImageControl*>("flèche"));
        QCOMPARE(t.endCount, 1);

        // Zoé: the round she won, and the one on the line when Léo came.
        const std::vector<RoundRecord> zoe =
            readRecord(pupilRecordPath("Zoé Lefèvre-N'Diaye")).rounds;
        QCOMPARE(pupilsOf(zoe), QStringList(2, "Zoé Lefèvre-N'Diaye"));
        QCOMPARE(zoe[0].ending, Ending::Won);
        QCOMPARE(zoe[1].ending, Ending::NewRound);
        QCOMPARE(zoe[1].scoreBefore, 2);
        const std::vector<RoundRecord> leo = readRecord(pupilRecordPath("Léo")).rounds;
        QCOMPARE(pupilsOf(leo), QStringList{"Léo"});
        QCOMPARE(leo[0].ending, Ending::GaveUp);
        QCOMPARE(leo[0].scoreBefore, 0);
        const std::vector<RoundRecord> ines = readRecord(pupilRecordPath("Inès")).rounds;
        QCOMPARE(pupilsOf(ines), QStringList{"Inès"});
        QCOMPARE(ines[0].guesses.size(), size_t(1));
        QCOMPARE(ines[0].ending, Ending::ProgramEnd);
        QVERIFY(zoe[0].gameToken != leo[0].gameToken && leo[0].gameToken != ines[0].gameToken);
        // Each pupil's folder and record are the login's alone, and nothing
        // went to the login's own record.
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        for (const QString& pupil : recording.classList()) {
            const QFileInfo record(pupilRecordPath(pupil));
            QCOMPARE(record.permissions() & others, QFile::Permissions());
            QCOMPARE(QFileInfo(record.path()).permissions() & others, QFile::Permissions());
        }
        QVERIFY(!QFile::exists(RecordStore::defaultPath()));
        QVERIFY(reports.texts.isEmpty());
        const std::lock_guard lock(toldMutex);
        QCOMPARE(told, (std::set<QString>{pupilRecordPath("Zoé Lefèvre-N'Diaye"),
                                          pupilRecordPath("Léo"), pupilRecordPath("Inès")}));
    }

    // A personal login: nothing is asked, and the rounds carry the account's name.
    void aPersonalLoginPlaysInTheAccountsName() {
        Reports reports;
        GameRecording recording(reports.report);
        QVERIFY(recording.classList().isEmpty());
        TestProgram t;
        t.program.setRoundObserver(recording.observer());
        GameWindow* game = t.openGame();
        QVERIFY(game && game->isActiveWindow());
        QVERIFY(!t.program.chooser());
        TestProgram::type(game, text(t.state().redValue) + "\r");
        t.program.end();
        const std::vector<RoundRecord> rounds = readRecord(RecordStore::defaultPath()).rounds;
        QCOMPARE(pupilsOf(rounds), QStringList{accountPupilName()});
        QVERIFY(!accountPupilName().isEmpty());
    }

    // A class of 25 is seen whole, without scrolling, on 1920 x 1080 at
    // 200 %; full screen, the names grow.
    void aClassOf25IsSeenWhole() {
        const QStringList names{
            "Léa",    "Tom",    "Zoé",    "Inès",    "Jean-Baptiste", "Chloé", "Nathan",
            "Emma",   "Lucas",  "Jade",   "Louis",   "Hugo",          "Manon", "Gabriel",
            "Maëlys", "Arthur", "N'Golo", "Camille", "Sacha",         "Lina",  "Marie-Charlotte",
            "Noah",   "Rose",   "Adam",   "Œdipe"};
        PupilChooser chooser(names);
        const QSize screen(960 - 40, 540 - 80); // a frame and panels taken off
        chooser.resize(chooser.fitTo(screen));
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QVERIFY(chooser.width() <= screen.width() && chooser.height() <= screen.height());
        auto* scroll = chooser.findChild<QScrollArea*>();
        for (const QString& name : names) {
            QPushButton* button = chooser.buttonOf(name);
            const QRect shown(button->mapTo(scroll->viewport(), QPoint()), button->size());
            QVERIFY2(scroll->viewport()->rect().contains(shown), qPrintable(name));
        }
        QVERIFY(chooser.nameSize() >= 14);
        const int inAWindow = chooser.nameSize();
        chooser.showFullScreen();
        QTRY_VERIFY(chooser.nameSize() > std::max(inAWindow, 20));
    }

    // A class of 200, and names too long for a button: every name reachable,
    // none cut short but with its whole name kept for the screen reader.
    void aLongClassFitsAndScrolls() {
        QStringList names;
        for (int i = 0; i < 198; ++i)
            names << QStringLiteral("Élève %1").arg(i + 1);
        names << "Marie-Charlotte-Éléonore de La Tour d'Auvergne-Montmorency"
              << "Œdipe & Cie";
        PupilChooser chooser(names);
        const QSize screen(960, 540); // 1920 x 1080 at 200 %
        chooser.resize(chooser.fitTo(screen));
        QVERIFY(chooser.width() <= screen.width() && chooser.height() <= screen.height());
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QVERIFY(chooser.columns() >= 2);
        const QPushButton* first = chooser.buttonOf(names[0]);
        for (const QString& name : names) {
            const QPushButton* button = chooser.buttonOf(name);
            QCOMPARE(button->size(), first->size());
            QCOMPARE(button->accessibleName(), name);
            const QStringList lines = button->text().split('\n');
            QVERIFY(lines.size() <= 2);
            for (const QString& line : lines)
                QVERIFY2(button->fontMetrics().horizontalAdvance(line) < button->width(),
                         qPrintable(line));
        }
        QVERIFY(chooser.buttonOf(names[198])->text().contains("…"));
        QCOMPARE(chooser.buttonOf("Œdipe & Cie")->text(), QStringLiteral("Œdipe && Cie"));
        // The last name, reached by the keyboard, is scrolled into sight.
        chooser.present(names[0]);
        QApplication::setActiveWindow(&chooser);
        TestProgram::key(QApplication::focusWidget(), Qt::Key_End);
        QPushButton* last = chooser.buttonOf(names.last());
        QCOMPARE(QApplication::focusWidget(), last);
        auto* scroll = chooser.findChild<QScrollArea*>();
        const QRect shown(last->mapTo(scroll->viewport(), QPoint()), last->size());
        QVERIFY(scroll->viewport()->rect().contains(shown));
        // Up goes a whole row back.
        TestProgram::key(last, Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), chooser.buttonOf(names[199 - chooser.columns()]));
    }
};

QTEST_MAIN(PupilsTest)
#include "test_pupils.moc"
