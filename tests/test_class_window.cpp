// The teacher's window, the CSV and the report read one class at a time: the
// class chosen among those of the login (or --class), its name in the title,
// its own list, and two Léa of two classes never one pupil.
#include "ClassChoice.h"
#include "ClassListPlace.h"
#include "ClassLists.h"
#include "ClassTable.h"
#include "ClassTesting.h"
#include "DesktopLocale.h"
#include "Export.h"
#include "LoginTesting.h"
#include "ResultsWindow.h"
#include "SchoolTable.h"

#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

RoundRecord ofClass(RoundRecord r, const QString& pupil, const QString& className) {
    r.pupil = pupil;
    r.className = className;
    return r;
}

struct Run {
    int status = -1;
    QString out, err;
};

Run runProgram(const QString& program, const QStringList& arguments) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

const PupilSummary* pupilOf(const ResultsWindow& window, const QString& name) {
    for (const PupilSummary& p : window.summary().pupils)
        if (p.name == name)
            return &p;
    return nullptr;
}

} // namespace

class ClassWindowTest : public QObject {
    Q_OBJECT
    TestLogin login;
    QString classes() const { return login.config() + "/quiltaro/classes/"; }

    // Léa of CE2-A played three rounds, Léa of CM1-B one, Tom of CM1-B two.
    void twoClassesWithALea() {
        writeClassList(classes() + "CM1-B.txt", {"Léa", "Tom", "Zaïd"});
        writeClassList(classes() + "CE2-A.txt", {"Noé", "Léa"});
        const QDateTime day = QDateTime::currentDateTime().addDays(-1);
        std::vector<RoundRecord> ce2, cm1, tom;
        for (int i = 0; i < 3; ++i)
            ce2.push_back(
                ofClass(played("a", day.addSecs(60 * i), 0, 2, 2, Ending::Won), "Léa", "CE2-A"));
        cm1.push_back(ofClass(played("b", day, 0, 0, 1, Ending::GaveUp), "Léa", "CM1-B"));
        for (int i = 0; i < 2; ++i)
            tom.push_back(
                ofClass(played("c", day.addSecs(60 * i), 0, 2, 2, Ending::Won), "Tom", "CM1-B"));
        // Her rounds were written before rounds named their class: her
        // record's folder tells it.
        for (RoundRecord& r : ce2)
            r.className.clear();
        write(pupilRecordPath("Léa", "CE2-A"), ce2);
        write(pupilRecordPath("Léa", "CM1-B"), cm1);
        write(pupilRecordPath("Tom", "CM1-B"), tom);
    }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        login.setUp();
    }

    void init() { login.empty(); }

    void theClassIsThatOfTheConfigurationTheOnlyOneOrTheFirst() {
        const QStringList three = {"CM2", "CE2-A", "cm1 b"};
        QCOMPARE(chooseClass(three, {}, "CM2").chosen, QString("CM2"));
        QCOMPARE(chooseClass(three, {}, {}).chosen, QString("CE2-A"));
        QCOMPARE(chooseClass(three, {}, {}).classes, QStringList({"CE2-A", "cm1 b", "CM2"}));
        // "6e 2" before "6e 10", as a teacher counts them.
        QCOMPARE(chooseClass({"6e 10", "6e 2"}, {}, {}).chosen, QString("6e 2"));
        QCOMPARE(chooseClass({}, {}, {}).chosen, QString());
        // Written as a teacher writes it: the class's own spelling is kept.
        QCOMPARE(chooseClass(three, " Cm1  B", {}).chosen, QString("cm1 b"));
        QVERIFY(chooseClass(three, "cm1 b", {}).problem.isEmpty());
    }

    void aClassThatIsNotThereIsRefusedNamingThoseThereAre() {
        const ClassChoice absent = chooseClass({"CM2", "CE2-A"}, "CP", {});
        QVERIFY(absent.chosen.isEmpty());
        QVERIFY2(absent.problem.contains("« CP » n'existe pas") &&
                     absent.problem.contains("CE2-A, CM2"),
                 qPrintable(absent.problem));
        const ClassChoice unnamed = chooseClass({}, "CP", {});
        QVERIFY2(unnamed.problem.contains("sans --class"), qPrintable(unnamed.problem));
        for (const char* wrong : {"CE2/A", "CE2, CM1", ".."}) {
            const ClassChoice refused = chooseClass({"CM2"}, wrong, {});
            QVERIFY2(refused.problem.contains("--class") && refused.chosen.isEmpty(),
                     qPrintable(refused.problem));
        }
    }

    // The window over the login's own records: the first class, its name in
    // the title, then the other one chosen with the keyboard.
    void twoLeaOfTwoClassesAreShownEachInHerClass() {
        twoClassesWithALea();
        ClassRecord all = countClass(findRecords(defaultSources()));
        QCOMPARE(all.pupils.size(), size_t(3));
        const ClassChoice choice = chooseAmong(all, {});
        QCOMPARE(choice.classes, QStringList({"CE2-A", "CM1-B"}));
        QCOMPARE(choice.chosen, QString("CE2-A"));
        const auto ofChosen = [&](const QString& className) {
            ClassRecord data = all;
            keepClass(data, className, {});
            addListedPupils(data, listedPupils(className));
            return data;
        };
        ResultsWindow window(ofChosen(choice.chosen), QDateTime::currentDateTime(), true,
                             Period::of(Period::Kind::Everything, QDate::currentDate()));
        QStringList chosen;
        window.setClasses(choice.classes, choice.chosen, [&](const QString& className) {
            chosen << className;
            window.setClassListPlace(ClassListPlace::ofClass(className));
            window.refresh(ofChosen(className), QDateTime::currentDateTime());
        });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QString("Résultats — CE2-A"));
        QComboBox* chooser = window.classChooser();
        QVERIFY(chooser && chooser->isVisible());
        QCOMPARE(chooser->currentText(), QString("CE2-A"));
        QCOMPARE(chooser->accessibleName(), QString("Classe"));
        bool labelled = false;
        for (QLabel* label : window.findChildren<QLabel*>())
            labelled = labelled || (label->buddy() == chooser && label->isVisible() &&
                                    label->text().contains("&"));
        QVERIFY(labelled);
        QCOMPARE(pupilOf(window, "Léa")->counts.rounds, 3);
        QVERIFY(pupilOf(window, "Noé")); // listed, without a round
        QVERIFY(!pupilOf(window, "Tom"));

        // Alt+S reaches the chooser; Down chooses the next class.
        QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), chooser);
        QTest::keyClick(chooser, Qt::Key_Down);
        QCOMPARE(chosen, QStringList({"CM1-B"}));
        QCOMPARE(window.windowTitle(), QString("Résultats — CM1-B"));
        QCOMPARE(window.shownClass(), QString("CM1-B"));
        QCOMPARE(pupilOf(window, "Léa")->counts.rounds, 1);
        QCOMPARE(pupilOf(window, "Tom")->counts.rounds, 2);
        QVERIFY(pupilOf(window, "Zaïd"));
        QVERIFY(!pupilOf(window, "Noé"));
    }

    // The head teacher's table: each class counted as its own view counts
    // it; Enter on a class opens it in the window.
    void theSchoolTableOpensAClass() {
        twoClassesWithALea();
        const ClassRecord all = countClass(findRecords(defaultSources()));
        const ClassChoice choice = chooseAmong(all, {});
        const Period period = Period::of(Period::Kind::Everything, QDate::currentDate());
        const auto ofChosen = [all](const QString& className) {
            ClassRecord data = all;
            keepClass(data, className, {});
            addListedPupils(data, listedPupils(className));
            return data;
        };
        ResultsWindow window(ofChosen(choice.chosen), QDateTime::currentDateTime(), true, period);
        QVERIFY(!window.schoolButton()->isVisible());
        window.setClasses(choice.classes, choice.chosen, [&](const QString& className) {
            window.refresh(ofChosen(className), QDateTime::currentDateTime());
        });
        window.setSchoolReader([&] {
            return [&](const Period& shown) {
                return schoolLines(choice.classes, ofChosen, shown, QDateTime::currentDateTime());
            };
        });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.schoolButton()->isVisible());
        window.schoolButton()->click();
        SchoolTable* table = window.findChild<SchoolTable*>();
        QVERIFY(table);
        QSignalSpy shown(table, &SchoolTable::shown);
        QVERIFY(shown.wait(10000));
        QTableWidget* lines = table->table();
        QCOMPARE(lines->rowCount(), 2);
        const auto text = [&](int row, int column) { return lines->item(row, column)->text(); };
        // Class, pupils, who played, rounds.
        QCOMPARE(QStringList({text(0, 0), text(0, 1), text(0, 2), text(0, 3)}),
                 QStringList({"CE2-A", "2", "1", "3"}));
        QCOMPARE(QStringList({text(1, 0), text(1, 1), text(1, 2), text(1, 3)}),
                 QStringList({"CM1-B", "3", "2", "3"}));
        // "À suivre" counts whom the class's own table flags.
        int flagged = 0;
        for (const PupilSummary& p : window.summary().pupils)
            flagged += p.help.needsHelp() ? 1 : 0;
        QCOMPARE(text(0, 4).toInt(), flagged);
        QCOMPARE(QApplication::focusWidget(), lines);
        QTest::keyClick(lines, Qt::Key_Down);
        QTest::keyClick(lines, Qt::Key_Return);
        QCOMPARE(window.windowTitle(), QString("Résultats — CM1-B"));
        QCOMPARE(window.classChooser()->currentText(), QString("CM1-B"));
        QCOMPARE(pupilOf(window, "Léa")->counts.rounds, 1);
        flagged = 0;
        for (const PupilSummary& p : window.summary().pupils)
            flagged += p.help.needsHelp() ? 1 : 0;
        QCOMPARE(text(1, 4).toInt(), flagged);
    }

    void oneClassNeedsNoChooser() {
        writeClassList(classes() + "CE2-A.txt", {"Noé"});
        ResultsWindow window(ClassRecord{}, QDateTime::currentDateTime(), true);
        window.setClasses({"CE2-A"}, "CE2-A", [](const QString&) { QFAIL("nothing to choose"); });
        window.show();
        QCOMPARE(window.windowTitle(), QString("Résultats — CE2-A"));
        QVERIFY(!window.classChooser()->isVisible());
    }

    // Names in French order on any desktop: this suite also runs in the C
    // locale, whose collation puts Éloïse after Zoé.
    void namesAreInFrenchOrderOnAnyDesktop() {
        ClassRecord data;
        for (const char* name : {"Zoé", "Emma", "Éloïse", "eva"})
            data.pupils.push_back({name, {}});
        ResultsWindow window(data, QDateTime::currentDateTime(), false);
        QStringList shown;
        for (int row = 0; row < window.table()->model()->rowCount(); ++row)
            shown << window.table()->model()->index(row, 0).data().toString();
        QCOMPARE(shown, QStringList({"Éloïse", "Emma", "eva", "Zoé"}));
    }

    // Where "Liste de la classe…" writes: the chosen class's own file.
    void theListEditedIsTheChosenClasss() {
        writeClassList(classes() + "CM1-B.txt", {"Léa", "Tom"});
        writeClassList(classes() + "CE2-A.txt", {"Noé"});
        const ClassListPlace place = ClassListPlace::ofClass("CM1-B");
        QVERIFY(place.where.contains("CM1-B"));
        ClassList list;
        QString problem;
        QVERIFY(place.read(list, &problem));
        QCOMPARE(list.names, QStringList({"Léa", "Tom"}));
        list.names << "Inès";
        QVERIFY(place.write(list, &problem));
        QCOMPARE(readClassList(classes() + "CM1-B.txt"), QStringList({"Léa", "Tom", "Inès"}));
        QCOMPARE(readClassList(classes() + "CE2-A.txt"), QStringList({"Noé"}));
    }

    // The real programs: --class for the CSV, the report and the window.
    void theCommandLineReadsTheClassAsked() {
        twoClassesWithALea();
        const QString dir = login.dir.filePath("out");
        QVERIFY(QDir().mkpath(dir));
        // Every class in the CSV, the class column telling the two Léa apart.
        Run all = runProgram(QUILTARO_BINARY, {"--export-csv", "-"});
        QCOMPARE(all.status, 0);
        QCOMPARE(
            all.out.count(QRegularExpression("^CE2-A;Léa;", QRegularExpression::MultilineOption)),
            3);
        QCOMPARE(
            all.out.count(QRegularExpression("^CM1-B;Léa;", QRegularExpression::MultilineOption)),
            1);
        Run one = runProgram(QUILTARO_BINARY, {"--export-csv", "-", "--class", "cm1-b"});
        QCOMPARE(one.status, 0);
        QVERIFY(!one.out.contains("CE2-A;"));
        QCOMPARE(one.out.count("\nCM1-B;"), 3);
        Run report =
            runProgram(QUILTARO_BINARY, {"--report-pdf", dir + "/cm1.pdf", "--class", "CM1-B"});
        QCOMPARE(report.status, 0);
        QVERIFY(QFileInfo(dir + "/cm1.pdf").size() > 0);

        for (const QString tool : {"--export-csv", "--report-pdf", "--results"}) {
            QStringList arguments = {tool};
            if (tool != "--results")
                arguments << dir + "/x";
            Run refused = runProgram(QUILTARO_BINARY, arguments + QStringList{"--class", "CP"});
            QCOMPARE(refused.status, 2);
            QVERIFY2(refused.err.contains("« CP » n'existe pas") &&
                         refused.err.contains("CE2-A, CM1-B"),
                     qPrintable(tool + ": " + refused.err));
        }
        Run slash = runProgram(QUILTARO_BINARY, {"--results", "--class", "CE2/A"});
        QCOMPARE(slash.status, 2);
        QVERIFY2(slash.err.contains("--class"), qPrintable(slash.err));
        Run playing = runProgram(QUILTARO_BINARY, {"--class", "CE2-A"});
        QCOMPARE(playing.status, 2);
        QVERIFY2(playing.err.contains("--results"), qPrintable(playing.err));
    }
};

QTEST_MAIN(ClassWindowTest)
#include "test_class_window.moc"
