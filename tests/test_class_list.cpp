// The class list of a shared login: where it is found, how a teacher's
// file is read and written back, each pupil's folder beside the login's
// record, and the account's own name.
#include "Controls.h"
#include "DesktopLocale.h"
#include "GameRecording.h"
#include "LevelSettings.h"
#include "LoginTesting.h"
#include "NumberText.h"
#include "Pupils.h"
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Spill.h"
#include "TestProgram.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class ClassListTest : public QObject {
    Q_OBJECT
    TestLogin login;
    const QTemporaryDir& dir = login.dir;
    QString systemConfig() const { return login.systemConfig(); }
    QString classList() const { return login.classList(); }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        login.setUp();
    }

    void init() { login.empty(); }

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

    // The levels in a list: the class's line, a pupil's after the name, a
    // typo told and the default kept; written back, read back the same.
    void aClassListCarriesLevels() {
        writeBytes(classList(), "# CM1\nNiveau : Dixièmes\nLucas : entiers\nLéa\n"
                                "Inès : decimaux\nTom:entiers-dixiemes\nLucas\n");
        const ClassList list = readClassListFile(classList());
        QCOMPARE(list.names, QStringList({"Lucas", "Léa", "Inès", "Tom"}));
        QCOMPARE(list.level, parseLevel("dixiemes"));
        QCOMPARE(list.levelOf("Lucas"), parseLevel("entiers"));
        QCOMPARE(list.levelOf("Tom"), parseLevel("entiers-dixiemes"));
        QCOMPARE(list.levelOf("Léa"), list.level);
        QCOMPARE(list.levelOf("Inès"), list.level); // the typo leaves the class's
        QCOMPARE(list.levelProblems.size(), 1);
        QVERIFY2(list.levelProblems[0].contains("« decimaux » n'existe pas") &&
                     list.levelProblems[0].contains("Inès garde le niveau de la classe"),
                 qPrintable(list.levelProblems[0]));
        QCOMPARE(readClassList(classList()), list.names); // what "Qui joue ?" offers

        QVERIFY(writeClassListFile(classList(), list));
        // The teacher's comment stays where it was.
        QCOMPARE(contents(classList()),
                 QByteArray("niveau : dixiemes\n# CM1\nLucas : entiers\nLéa\n"
                            "Inès\nTom : entiers-dixiemes\n"));
        ClassList again = list;
        again.levelProblems.clear();
        QCOMPARE(readClassListFile(classList()), again);
        writeBytes(classList(), "niveau : tout\nLéa\n");
        QVERIFY(readClassListFile(classList())
                    .levelProblems.value(0)
                    .contains("la classe garde le niveau par défaut"));
        QCOMPARE(readClassListFile(classList()).level, std::nullopt);
    }

    // The computer's level: in the system's folders only; locked, it wins
    // over the command line and the class list, which otherwise win over it.
    void theSystemsLevelIsLockedOrADefault() {
        ClassList list = parseClassList("niveau : entiers\nLucas : centiemes\nLéa\n");
        const auto tenths = parseLevel("dixiemes"), whole = parseLevel("entiers");
        writeBytes(dir.filePath("config/quiltaro/quiltaro.conf"),
                   "[jeu]\nniveau=centiemes\nverrouille=true\n"); // the user's own: no effect
        QCOMPARE(readSystemLevel().level, std::nullopt);
        QCOMPARE(levelFor(readSystemLevel(), std::nullopt, {}, "Léa"), LevelRange{});

        const QString conf = systemConfig() + "/quiltaro/quiltaro.conf";
        writeBytes(conf, "[jeu]\nniveau=dixiemes\n");
        SystemLevel system = readSystemLevel();
        QCOMPARE(system.file, conf);
        QVERIFY(!system.locked);
        QCOMPARE(levelFor(system, std::nullopt, {}, "Léa"), tenths);
        QCOMPARE(levelFor(system, std::nullopt, list, "Léa"), whole);
        QCOMPARE(levelFor(system, std::nullopt, list, "Lucas"), parseLevel("centiemes"));
        QCOMPARE(levelFor(system, whole, list, "Lucas"), whole);

        writeBytes(conf, "[jeu]\nniveau=dixiemes\nverrouille=true\n");
        system = readSystemLevel();
        QVERIFY(system.locked);
        for (const QString pupil : {"Léa", "Lucas", "Personne"})
            QCOMPARE(levelFor(system, whole, list, pupil), tenths);
        QVERIFY(describeClassLevel(system, list).contains("fixé pour tous les postes"));

        writeBytes(conf, "[jeu]\nniveau=décimaux\nverrouille=true\n");
        system = readSystemLevel();
        QVERIFY(!system.locked && !system.level);
        QVERIFY(system.problem.contains("« décimaux » n'existe pas"));
        QCOMPARE(levelFor(system, std::nullopt, {}, "Léa"), LevelRange{});
        QFile::remove(conf);
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
};

QTEST_MAIN(ClassListTest)
#include "test_class_list.moc"
