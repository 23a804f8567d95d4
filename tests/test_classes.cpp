// A pupil is a first name within a class: the names a class may have and
// where they are read, the lists of a login that serves several classes,
// "Qui joue ?" asking the class first, each pupil's record under its class,
// and erasing one pupil of a first name that two classes share.
#include "ClassLists.h"
#include "ClassName.h"
#include "DesktopLocale.h"
#include "Forgetting.h"
#include "GameRecording.h"
#include "LoginTesting.h"
#include "NumberText.h"
#include "RecordReading.h"
#include "RecordTesting.h"
#include "TestProgram.h"

#include <QAccessible>
#include <QPushButton>
#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

void writeText(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QString text(double value) {
    return QString::fromStdString(shortestDecimal(value));
}

} // namespace

class ClassesTest : public QObject {
    Q_OBJECT
    TestLogin login;
    QString classes() const { return login.config() + "/quiltaro/classes/"; }
    QString conf() const { return login.config() + "/quiltaro/quiltaro.conf"; }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        login.setUp();
    }

    void init() { login.empty(); }

    void aClassNameHoldsWhatAFolderAndARowCanTake_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refused"); // a word of the refusal; empty when taken
        QTest::newRow("letters and digits") << "CE2-A"
                                            << "";
        QTest::newRow("space, dot, apostrophe") << "6e B l'après-midi"
                                                << "";
        QTest::newRow("accents, underscore") << "Clémentine_2.b"
                                             << "";
        QTest::newRow("forty") << QString(40, 'a') << "";
        QTest::newRow("forty-one") << QString(41, 'a') << "41 caractères";
        QTest::newRow("empty") << "   "
                               << "vide";
        QTest::newRow("a list") << "CE2, CM1"
                                << "virgule";
        QTest::newRow("cut short") << "CE2;CM1"
                                   << "point-virgule";
        QTest::newRow("a folder") << "CE2/CM1"
                                  << "barre oblique";
        QTest::newRow("a tab") << "CE2\tA"
                               << "invisible";
        QTest::newRow("up a folder") << ".."
                                     << "commence par un point";
        QTest::newRow("a sign") << "CE2+"
                                << "« + »";
    }
    void aClassNameHoldsWhatAFolderAndARowCanTake() {
        QFETCH(QString, name);
        QFETCH(QString, refused);
        const QString refusal = classNameRefusal(name, "--class");
        if (refused.isEmpty()) {
            QCOMPARE(refusal, QString());
            return;
        }
        // Where it was read, what is wrong, and what a name may hold.
        QVERIFY2(refusal.startsWith("--class : ") && refusal.contains(refused) &&
                     refusal.contains("1 à 40 caractères"),
                 qPrintable(refusal));
        QVERIFY(sameClass("ce2-a", "CE2-A") && sameClass("CÉ2  A", "ce2 a"));
        QVERIFY(!sameClass("CE2-A", "CE2-B"));
    }

    // QSettings would take "CE2, CM1" for a list and stop at a ';': the
    // class is read as written, and refused as written.
    void theClassOfTheConfigurationIsReadAsWritten() {
        QCOMPARE(configuredClass().name, QString());
        writeText(conf(), "[jeu]\nclass=ailleurs\n[record]\nserver=\"host=x\"\nclass = CM1-B\n");
        QCOMPARE(configuredClass().name, QString("CM1-B"));
        QCOMPARE(configuredClass().problem, QString());
        writeText(conf(), "[record]\nclass=\"CE2 A\"\n");
        QCOMPARE(configuredClass().name, QString("CE2 A"));
        for (const char* written : {"CE2, CM1", "CE2;CM1"}) {
            writeText(conf(), QByteArray("[record]\nclass=") + written + "\n");
            const ConfiguredClass c = configuredClass();
            QCOMPARE(c.name, QString());
            QVERIFY2(c.problem.contains(QString("« %1 »").arg(written)) &&
                         c.problem.contains("class= dans " + conf()),
                     qPrintable(c.problem));
        }
    }

    void aLoginServesTheListsOfItsClasses() {
        QStringList problems;
        QVERIFY(loginClassLists({}, &problems).empty());
        // The old layout: classe.txt alone, without a name, as before.
        writeClassList(login.classList(), {"Léa"});
        auto lists = loginClassLists({}, &problems);
        QCOMPARE(lists.size(), size_t(1));
        QCOMPARE(lists[0].name, QString());
        QCOMPARE(pupilRecordPath("Léa", lists[0]), pupilRecordPath("Léa"));
        QVERIFY(pupilRecordPath("Léa").endsWith("/quiltaro/eleves/Léa/record.sqlite"));
        // Named by quiltaro.conf, its pupils' records go under the class,
        // but those already kept where they were stay there.
        lists = loginClassLists("CE2-A", &problems);
        QCOMPARE(lists[0].name, QString("CE2-A"));
        QVERIFY(pupilRecordPath("Léa", lists[0]).endsWith("/eleves/CE2-A/Léa/record.sqlite"));
        writeText(pupilRecordPath("Léa"), "");
        QCOMPARE(pupilRecordPath("Léa", lists[0]), pupilRecordPath("Léa"));
        QVERIFY(problems.isEmpty());

        // classes/: one list a class, the user's before the system's; a
        // file whose name is no class's is told and left out.
        writeClassList(classes() + "CM1 B.txt", {"Tom"});
        writeClassList(classes() + "ce2-a.txt", {"Noé"});
        writeClassList(login.systemConfig() + "/quiltaro/classes/CE2-A.txt", {"Zoé"});
        writeClassList(login.systemConfig() + "/quiltaro/classes/CE1.txt", {"Ana"});
        writeClassList(classes() + "CE2;CM1.txt", {"Max"});
        lists = loginClassLists("CE2-A", &problems);
        QStringList names;
        for (const ClassListSource& s : lists)
            names << s.name;
        QCOMPARE(names, QStringList({"CE1", "ce2-a", "CM1 B"}));
        QCOMPARE(lists[1].file, classes() + "ce2-a.txt");
        QCOMPARE(problems.size(), 2);
        QVERIFY2(problems[0].contains("CE2;CM1.txt") && problems[0].contains("point-virgule"),
                 qPrintable(problems[0]));
        // classe.txt of the same class as a list of classes/: the latter.
        QVERIFY2(problems[1].contains("deux listes"), qPrintable(problems[1]));
        // Beside lists of classes, a classe.txt without a name is nobody's.
        problems.clear();
        QCOMPARE(loginClassLists({}, &problems).size(), size_t(3));
        QVERIFY(problems.last().contains("n'a pas de nom de classe"));
    }

    // Two classes on one login, each with a Léa: the class is asked first,
    // and the two Léa never share a record.
    void theClassIsAskedFirstAndTwoLeaAreTwoPupils() {
        writeClassList(classes() + "CM1-B.txt", {"Léa", "Tom"});
        writeClassList(classes() + "CE2-A.txt", {"Noé", "Léa"});
        Reports reports;
        GameRecording recording(reports.report, loginClassLists({}));
        QCOMPARE(recording.classes().size(), size_t(2));
        QVERIFY(recording.classList().isEmpty()); // asked class by class
        TestProgram t;
        t.program.setRoundObserver(recording.observer());
        std::vector<Program::ClassOfPupils> classes;
        for (const GameRecording::Class& c : recording.classes())
            classes.push_back({c.source.name, c.list.names});
        t.program.setClasses(classes, [&](const QString& pupil, const QString& className) {
            recording.choose(pupil, className);
        });
        RoundState& s = t.state();

        QVERIFY(!t.openGame());
        PupilChooser* classChooser = t.program.classChooser();
        QVERIFY(classChooser && classChooser->isVisible());
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(classChooser);
        QCOMPARE(window->text(QAccessible::Name), QString("Quelle est ta classe ?"));
        QVERIFY(window->text(QAccessible::Description).contains("prénom vient ensuite"));
        QCOMPARE(QAccessible::queryAccessibleInterface(classChooser->buttonOf("CE2-A"))
                     ->text(QAccessible::Name),
                 QString("CE2-A"));
        // Nothing chosen in advance; an initial goes to the first class it begins.
        QCOMPARE(QApplication::focusWidget(), classChooser);
        TestProgram::key(classChooser, Qt::Key_Return);
        QVERIFY(classChooser->isVisible() && !t.program.chooser());
        TestProgram::type(classChooser, "c");
        QCOMPARE(QApplication::focusWidget(), classChooser->buttonOf("CE2-A"));
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), classChooser->buttonOf("CM1-B"));
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Return);
        PupilChooser* names = t.program.chooser();
        QVERIFY(names && names->isVisible() && !classChooser->isVisible());
        QCOMPARE(names->windowTitle(), QString("Qui joue ? (CM1-B)"));
        QVERIFY(!names->buttonOf("Noé"));
        // Escape goes back one question, to the classes.
        TestProgram::key(names, Qt::Key_Escape);
        QVERIFY(classChooser->isVisible());
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Return);
        names = t.program.chooser();
        TestProgram::type(names, "l");
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Return);
        GameWindow* game = t.program.game();
        QVERIFY(game && game->isActiveWindow());
        QCOMPARE(t.program.className(), QString("CM1-B"));
        TestProgram::type(game, text(s.lowBound) + "\r");
        TestProgram::key(game, Qt::Key_Escape);

        // Léa of CE2-A sits down: a game of her own, from nought.
        QApplication::setActiveWindow(t.program.welcome());
        TestProgram::settle();
        t.openGame();
        QCOMPARE(QApplication::focusWidget(), classChooser->buttonOf("CM1-B"));
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Left);
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Return);
        names = t.program.chooser();
        QCOMPARE(names->windowTitle(), QString("Qui joue ? (CE2-A)"));
        QCOMPARE(QApplication::focusWidget(), names); // her namesake of CM1-B is not offered
        TestProgram::type(names, "l");
        TestProgram::key(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(t.program.className(), QString("CE2-A"));
        TestProgram::type(game, text(s.highBound) + "\r");
        recording.observer().programEnding();

        const auto cm1 = readRecord(pupilRecordPath("Léa", "CM1-B")).rounds;
        const auto ce2 = readRecord(pupilRecordPath("Léa", "CE2-A")).rounds;
        QVERIFY(pupilRecordPath("Léa", "CM1-B").endsWith("/eleves/CM1-B/Léa/record.sqlite"));
        QVERIFY(!cm1.empty());
        QCOMPARE(cm1[0].ending, Ending::GaveUp);
        QCOMPARE(ce2.size(), size_t(1));
        for (const RoundRecord& r : cm1)
            QCOMPARE(r.className, QString("CM1-B"));
        QCOMPARE(ce2[0].className, QString("CE2-A"));
        QCOMPARE(ce2[0].scoreBefore, 0);
        QCOMPARE(pupilRecordsBeside(RecordStore::defaultPath()).size(), 2);
    }

    // --forget Léa, when two classes have a Léa: nothing is erased until the
    // class is said, and then only hers.
    void aFirstNameOfTwoClassesIsForgottenByClass() {
        const QString login_ = RecordStore::defaultPath();
        Reports reports;
        for (const char* c : {"CE2-A", "CM1-B"}) {
            RoundRecord r = knownRounds()[0];
            r.pupil = "Léa", r.className = c;
            RecordStore store(pupilRecordPath("Léa", c), reports.report);
            QVERIFY(store.write(r));
        }
        QCOMPARE(classesOfPupil(login_, "Léa"), QStringList({"CE2-A", "CM1-B"}));
        QString said;
        QString typed = "Léa\n";
        QTextStream in(&typed), out(&said);
        QCOMPARE(forgetPupil(login_, "Léa", in, out), 1);
        QVERIFY2(said.contains("plusieurs classes (CE2-A, CM1-B)") && said.contains("--class"),
                 qPrintable(said));
        QVERIFY(QFileInfo::exists(pupilRecordPath("Léa", "CE2-A")));
        said.clear();
        QCOMPARE(forgetPupil(login_, "Léa", in, out, {}, "CE1"), 1);
        QVERIFY2(said.contains("pas de résultats dans la classe CE1"), qPrintable(said));
        said.clear();
        QCOMPARE(forgetPupil(login_, "Léa", in, out, {}, "cm1-b"), 0);
        QVERIFY(!QFileInfo::exists(pupilRecordPath("Léa", "CM1-B")));
        QVERIFY(QFileInfo::exists(pupilRecordPath("Léa", "CE2-A")));
        QCOMPARE(classesOfPupil(login_, "Léa"), QStringList{"CE2-A"});
        QCOMPARE(pupilsBeside(login_), QStringList{"Léa (CE2-A)"});
    }
};

QTEST_MAIN(ClassesTest)
#include "test_classes.moc"
