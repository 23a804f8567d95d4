// A class of pupils: the class list and where it is found, the account's
// name, "Qui joue ?" played with real clicks and keys, each pupil's rounds in
// a record of their own, and erasing one pupil.
#include "Commands.h"
#include "Controls.h"
#include "DesktopLocale.h"
#include "GameRecording.h"
#include "NumberText.h"
#include "Pupils.h"
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Spill.h"
#include "TestProgram.h"

#include <QAccessible>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include <unistd.h>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QStringList pupilsOf(const std::vector<RoundRecord>& rounds) {
    QStringList names;
    for (const RoundRecord& r : rounds)
        names << r.pupil;
    return names;
}

QString text(double v) {
    return QString::fromStdString(shortestDecimal(v));
}

} // namespace

class PupilsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString config() const { return dir.filePath("config"); }
    QString systemConfig() const { return dir.filePath("etc-xdg"); }
    QString classList() const { return config() + "/quiltaro/classe.txt"; }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QVERIFY(dir.isValid());
        // The configuration and the records of a login of our own.
        qputenv("XDG_CONFIG_HOME", config().toUtf8());
        qputenv("XDG_CONFIG_DIRS", systemConfig().toUtf8());
        qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
        QCoreApplication::setApplicationName("quiltaro");
        QVERIFY(RecordStore::defaultPath().startsWith(dir.path()));
    }

    void init() {
        QDir(config()).removeRecursively();
        QDir(systemConfig()).removeRecursively();
        QDir(dir.filePath("data")).removeRecursively();
    }

    void theClassListIsFoundInTheUsersThenTheSystemsConfiguration() {
        QCOMPARE(classListFile(), QString());
        QCOMPARE(writableClassListFile(), classList());
        writeBytes(systemConfig() + "/quiltaro/classe.txt", "Léa\n");
        QCOMPARE(classListFile(), systemConfig() + "/quiltaro/classe.txt");
        writeBytes(classList(), "Tom\n");
        QCOMPARE(classListFile(), classList());
    }

    void aClassListIsReadAsATeacherWritesIt_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("plain") << QByteArray("Léa\nTom\n") << QStringList{"Léa", "Tom"};
        QTest::newRow("no last newline") << QByteArray("Léa\nTom") << QStringList{"Léa", "Tom"};
        QTest::newRow("blanks, spaces, comments, repeats")
            << QByteArray("\n  Léa  \n\n# CM1\n\tTom\nLéa\n   \n") << QStringList{"Léa", "Tom"};
        QTest::newRow("written on Windows")
            << QByteArray("\xEF\xBB\xBFZoé\r\nN'Golo\r\n") << QStringList{"Zoé", "N'Golo"};
        QTest::newRow("saved in Latin-1") << QByteArray("L\xE9"
                                                        "a\nJ\xE9r\xF4me\n")
                                          << QStringList{"Léa", "Jérôme"};
        QTest::newRow("empty") << QByteArray() << QStringList{};
        QTest::newRow("comments only") << QByteArray("# à remplir\n\n") << QStringList{};
    }
    void aClassListIsReadAsATeacherWritesIt() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, names);
        writeBytes(classList(), bytes);
        QString problem;
        QCOMPARE(readClassList(classList(), &problem), names);
        QCOMPARE(problem, QString());
    }

    void aClassListThatCannotBeReadSaysWhy() {
        QString problem;
        QCOMPARE(readClassList(dir.filePath("none.txt"), &problem), QStringList());
        QVERIFY(problem.contains("ne peut pas être lue"));
        // A pipe where the file should be: no waiting for a writer.
        QDir().mkpath(QFileInfo(classList()).path());
        QCOMPARE(QProcess::execute("mkfifo", {classList()}), 0);
        problem.clear();
        QCOMPARE(readClassList(classList(), &problem), QStringList());
        QVERIFY(!problem.isEmpty());
        // A list with no names asks nobody: the game plays in the account's name.
        QFile::remove(classList());
        writeBytes(classList(), "# CM1\n\n");
        Reports reports;
        GameRecording recording(reports.report);
        QVERIFY(recording.classList().isEmpty());
        QCOMPARE(recording.problem(), QString());
    }

    void aClassListIsWrittenWholeAndReadBack() {
        const QStringList names{"  Zoé Lefèvre-N'Diaye ", "", "Jean-Baptiste", "Œdipe & Cie"};
        QString problem;
        QVERIFY(writeClassList(classList(), names, &problem)); // its folder made on the way
        QCOMPARE(readClassList(classList()),
                 (QStringList{"Zoé Lefèvre-N'Diaye", "Jean-Baptiste", "Œdipe & Cie"}));
        writeBytes(dir.filePath("file"), "x");
        QVERIFY(!writeClassList(dir.filePath("file/classe.txt"), names, &problem));
        QVERIFY(problem.contains("n'a pas pu être écrite"));
    }

    void eachPupilHasAFolderOfTheirOwnBesideTheLoginsRecord_data() {
        QTest::addColumn<QString>("pupil");
        QTest::addColumn<QString>("folder");
        QTest::newRow("accents") << "Zoé Lefèvre-N'Diaye"
                                 << "Zoé Lefèvre-N'Diaye";
        QTest::newRow("spaces") << "  Léa "
                                << "Léa";
        QTest::newRow("slash") << "a/b"
                               << "a-b";
        QTest::newRow("climbing") << "../../etc"
                                  << "-..-etc";
        QTest::newRow("dots") << ".."
                              << "sans-nom";
        QTest::newRow("hidden") << ".Tom"
                                << "Tom";
        QTest::newRow("empty") << ""
                               << "sans-nom";
    }
    void eachPupilHasAFolderOfTheirOwnBesideTheLoginsRecord() {
        QFETCH(QString, pupil);
        QFETCH(QString, folder);
        const QString data = QFileInfo(RecordStore::defaultPath()).path();
        QCOMPARE(pupilRecordPath(pupil), data + "/eleves/" + folder + "/record.sqlite");
        QCOMPARE(QDir::cleanPath(pupilRecordPath(pupil)), pupilRecordPath(pupil));
    }

    void theAccountsNameIsTheSystemsFullName() {
        QProcess id;
        id.start("id", {"-un"});
        QVERIFY(id.waitForFinished());
        const QString login = QString::fromLocal8Bit(id.readAllStandardOutput()).trimmed();
        QProcess getent;
        getent.start("getent", {"passwd", login});
        QVERIFY(getent.waitForFinished());
        const QStringList fields =
            QString::fromLocal8Bit(getent.readAllStandardOutput()).trimmed().split(':');
        QCOMPARE(fields.size(), 7);
        const QString full = fields[4].section(',', 0, 0).trimmed();
        QCOMPARE(accountPupilName(), full.isEmpty() ? login : full);
    }

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
        QCOMPARE(QApplication::focusWidget(), chooser->buttonOf("Zoé Lefèvre-N'Diaye"));
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
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Right);
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Right); // stays on the last
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

    // --forget NOM: one pupil's folder and games gone, after that name typed
    // again; every other pupil's rounds whole.
    void forgettingOnePupilLeavesTheOthersWhole() {
        const QString login = dir.filePath("forget/record.sqlite");
        const QString folders = dir.filePath("forget/eleves/");
        Reports reports;
        std::map<QString, std::vector<RoundRecord>> kept;
        for (const QString pupil : {"Léa", "Tom", "Zoé"}) {
            std::vector<RoundRecord> rounds = knownRounds();
            for (RoundRecord& r : rounds)
                r.pupil = pupil, r.gameToken += pupil;
            RecordStore store(folders + pupil + "/record.sqlite", reports.report);
            QVERIFY(store.writeMany(rounds));
            kept[pupil] = rounds;
        }
        {
            // A round of Tom's waiting beside his record.
            Spill spill(folders + "Tom/record.sqlite");
            QVERIFY(spill.add(1, kept["Tom"][0]));
        }
        // The login's own record: a game of Tom's (a personal login named
        // so), and one from before names.
        std::vector<RoundRecord> own = knownRounds();
        own[0].pupil = own[1].pupil = "Tom";
        own[0].guesses[0].answer = own[1].guesses[0].answer = "424242";
        {
            RecordStore store(login, reports.report);
            QVERIFY(store.writeMany(own));
        }

        for (QString answer : {"", "tom\n", "oui\n", "Léa\n"}) {
            QString shown;
            QTextStream in(&answer), out(&shown);
            QCOMPARE(forgetPupil(login, "Tom", in, out), 1);
            QVERIFY(shown.contains("Rien n'a été effacé"));
        }
        QVERIFY(QFileInfo::exists(folders + "Tom/record.sqlite"));
        QString typed = "  Tom \n", shown;
        QTextStream in(&typed), out(&shown);
        QCOMPARE(forgetPupil(login, "Tom", in, out), 0);
        QVERIFY(shown.contains("ont été effacés"));
        QVERIFY(!QFileInfo::exists(folders + "Tom"));
        for (const QString pupil : {"Léa", "Zoé"})
            QVERIFY(readRecord(folders + pupil + "/record.sqlite").rounds == kept[pupil]);
        const std::vector<RoundRecord> left = readRecord(login).rounds;
        QCOMPARE(pupilsOf(left), QStringList{""});
        QVERIFY(left[0] == own[2]);
        for (const char* suffix : {"", "-wal"})
            QVERIFY(!bytesOf(login + suffix).contains("424242"));

        // A name with nothing recorded: nothing asked, the pupils listed.
        QString none = "Tom\n", listed;
        QTextStream noneIn(&none), listedOut(&listed);
        QCOMPARE(forgetPupil(login, "Tom", noneIn, listedOut), 1);
        QVERIFY(listed.contains("Léa, Zoé"));
        QCOMPARE(none, QStringLiteral("Tom\n"));
        // --forget alone erases the login's record; the pupils' stay, and it says so.
        QString yes = "oui\n", told;
        QTextStream yesIn(&yes), toldOut(&told);
        QCOMPARE(forget(login, yesIn, toldOut), 0);
        QVERIFY(told.contains("Léa, Zoé") && told.contains("--forget PRÉNOM"));
        QCOMPARE(count(login, "rounds"), 0);
        for (const QString pupil : {"Léa", "Zoé"})
            QVERIFY(readRecord(folders + pupil + "/record.sqlite").rounds == kept[pupil]);
    }

    // A pupil forgotten while a game of theirs is still open: what was played
    // before goes, what is played after is kept, in a record made anew.
    void aGameGoingOnAfterItsPupilIsForgottenKeepsItsLaterRounds() {
        const QString login = dir.filePath("forget-live/record.sqlite");
        const QString record = dir.filePath("forget-live/eleves/Tom/record.sqlite");
        Reports reports;
        std::vector<RoundRecord> rounds = knownRounds();
        QVERIFY(rounds.size() >= 3);
        for (RoundRecord& r : rounds)
            r.pupil = "Tom";
        RecordStore game(record, reports.report);
        QVERIFY(game.write(rounds[0]));
        QString typed = "Tom\n", shown;
        QTextStream in(&typed), out(&shown);
        QCOMPARE(forgetPupil(login, "Tom", in, out), 0);
        QVERIFY(!QFileInfo::exists(record));
        QVERIFY(game.write(rounds[1]));
        QVERIFY(game.write(rounds[2]));
        QVERIFY(readRecord(record).rounds == (std::vector{rounds[1], rounds[2]}));
        QCOMPARE(pupilsBeside(login), QStringList{"Tom"});
        QCOMPARE(QFileInfo(record).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());
        QCOMPARE(reports.texts, QStringList());
    }

    // The folder goes once the round a game is writing is in: the command
    // waits for the record's write lock.
    void forgettingWaitsForTheRoundBeingWritten() {
        const QString login = dir.filePath("forget-wait/record.sqlite");
        const QString record = dir.filePath("forget-wait/eleves/Tom/record.sqlite");
        Reports reports;
        RoundRecord first = knownRounds()[0];
        first.pupil = "Tom";
        QVERIFY(RecordStore(record, reports.report).write(first));
        bool waited = false;
        {
            QSqlDatabase game = QSqlDatabase::addDatabase("QSQLITE", "forget-wait-game");
            game.setDatabaseName(record);
            QVERIFY(game.open());
            QVERIFY(QSqlQuery(game).exec("BEGIN IMMEDIATE"));
            std::atomic<bool> done = false;
            std::thread teacher([&] {
                QString typed = "Tom\n", shown;
                QTextStream in(&typed), out(&shown);
                forgetPupil(login, "Tom", in, out);
                done = true;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            waited = !done && QFileInfo::exists(record);
            QVERIFY(QSqlQuery(game).exec("COMMIT"));
            teacher.join();
            game.close();
        }
        QSqlDatabase::removeDatabase("forget-wait-game");
        QVERIFY(waited);
        QVERIFY(!QFileInfo::exists(record));
    }

    void forgetTakesOnePupilsName_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("right");
        QTest::addColumn<QString>("pupil");
        QTest::newRow("alone") << QStringList{"--forget"} << true << "";
        QTest::newRow("a name") << QStringList{"--forget", "Zoé Lefèvre"} << true << "Zoé Lefèvre";
        QTest::newRow("name first") << QStringList{"Léa", "--forget"} << true << "Léa";
        QTest::newRow("two names") << QStringList{"--forget", "Léa", "Tom"} << false << "";
        QTest::newRow("blank name") << QStringList{"--forget", "  "} << false << "";
        QTest::newRow("a name elsewhere") << QStringList{"--results", "Léa"} << false << "";
        QTest::newRow("with another") << QStringList{"--forget", "Léa", "--version"} << false << "";
    }
    void forgetTakesOnePupilsName() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, right);
        QFETCH(QString, pupil);
        const Options o = parseOptions(arguments);
        QCOMPARE(o.mode == Options::Mode::Forget, right);
        if (right)
            QCOMPARE(o.pupil, pupil);
        QVERIFY(usage().contains("--forget PRÉNOM"));
    }
};

QTEST_MAIN(PupilsTest)
#include "test_pupils.moc"
