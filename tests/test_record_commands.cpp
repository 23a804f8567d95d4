// The record's commands and the teacher's tools: an export that never
// replaces a database, tools that only read, even a record in a read-only
// folder or another user's, and the command line.
#include "ClassRecord.h"
#include "Export.h"
#include "GameOptions.h"
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "SuiteFolder.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

// Run as another user: reads the record, or the records under a folder, with
// the teacher's tools and says what they found.
int readAsChild(const QString& record, const QString& csv) {
    QTextStream err(stderr);
    const int exported = exportCsv({record}, csv, err);
    QStringList problems;
    const ClassRecord results = readClass(findRecords({record}, &problems));
    std::printf("export %d problems %lld rounds %lld\n", exported,
                static_cast<long long>(problems.size() + results.problems.size()),
                static_cast<long long>(results.rounds()));
    return 0;
}

} // namespace

class RecordCommandsTest : public QObject, private SuiteFolder {
    Q_OBJECT

private slots:
    void initTestCase() { startSuite(); }

    void anExportNeverReplacesADatabase() {
        const QString path = file("export/record.sqlite");
        {
            Reports reports;
            RecordStore store(path, reports.report);
            QVERIFY(store.writeMany(knownRounds()));
        }
        execAll(file("other.sqlite"), {"CREATE TABLE t (x)"});
        QVERIFY(QFile::link(path, file("link-to-record")));
        const QByteArray record = contents(path), other = contents(file("other.sqlite"));
        for (const QString& target : {path, file("link-to-record"), file("other.sqlite")}) {
            QString errors;
            QTextStream err(&errors);
            QCOMPARE(exportCsv({path}, target, err), 1);
            QVERIFY2(errors.contains("base de données"), qPrintable(errors));
        }
        QCOMPARE(contents(path), record);
        QCOMPARE(contents(file("other.sqlite")), other);
        QCOMPARE(readRecord(path).rounds, knownRounds());
    }

    // An old record, an empty file: read as they are, changed in nothing.
    void theTeachersToolsOnlyRead() {
        const QString v1 = file("v1/record.sqlite");
        QVERIFY(QDir().mkpath(file("v1")));
        execAll(v1, {"CREATE TABLE games (id INTEGER PRIMARY KEY, token TEXT NOT NULL UNIQUE,"
                     " started_at INTEGER NOT NULL)",
                     "CREATE TABLE rounds (id INTEGER PRIMARY KEY, game_id INTEGER NOT NULL,"
                     " started_at INTEGER NOT NULL, ended_at INTEGER NOT NULL,"
                     " score_before INTEGER NOT NULL, score_after INTEGER NOT NULL,"
                     " low_bound REAL NOT NULL, high_bound REAL NOT NULL, red_value REAL NOT NULL,"
                     " tries INTEGER NOT NULL, points INTEGER NOT NULL, ending TEXT NOT NULL,"
                     " guesses TEXT NOT NULL)",
                     "INSERT INTO games VALUES (1, 'a', 1796115600000)",
                     "INSERT INTO rounds VALUES (1, 1, 1796115600000, 1796115645000, 0, 2, 0,"
                     " 1000, 371, 2, 2, 'won', '500 371')",
                     "PRAGMA user_version = 1"});
        QDir().mkpath(file("empty"));
        QFile empty(file("empty/record.sqlite"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        for (const QString& path : {v1, file("empty/record.sqlite")}) {
            const QByteArray before = contents(path);
            QString errors;
            QTextStream err(&errors);
            // An empty file is no record a game left: it is said, and the
            // tools do not end as if all were read.
            QCOMPARE(exportCsv({path}, file("tools.csv"), err), path == v1 ? 0 : 1);
            QCOMPARE(readClass({path}).damaged, false);
            QCOMPARE(contents(path), before);
            QCOMPARE(QFileInfo(path).dir().entryList(QDir::Files), QStringList{"record.sqlite"});
            // What was written, where, and for the teacher's eyes alone.
            QCOMPARE(errors.count('\n'), path == v1 ? 1 : 2);
            QVERIFY2(path == v1 || errors.contains("est vide"), qPrintable(errors));
            QVERIFY2(errors.contains(path == v1 ? "1 manche de 1 élève écrite dans "
                                                : "0 manche de 0 élève écrite dans ") &&
                         errors.contains(QDir::toNativeSeparators(file("tools.csv"))),
                     qPrintable(errors));
            QCOMPARE(QFileInfo(file("tools.csv")).permissions(),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                         QFileDevice::WriteUser);
            QFile::remove(file("tools.csv"));
        }
        QCOMPARE(readRecord(v1).rounds, std::vector<RoundRecord>{knownRounds()[0]});
        QCOMPARE(readClass({v1}).rounds(), size_t(1));
    }

    // A pupil's record in a folder the teacher can only read: read as the
    // unprivileged user a teacher is, since root reads anything.
    void theToolsReadARecordInAReadOnlyFolder() {
        if (geteuid() != 0)
            QSKIP("reading as another user needs root to switch users (CI runs as root)");
        QTemporaryDir shared(QDir::tempPath() + "/quiltaro-readonly-XXXXXX");
        QVERIFY(shared.isValid());
        const QString folder = shared.filePath("pupil"), out = shared.filePath("out");
        const QString path = folder + "/record.sqlite";
        {
            Reports reports;
            RecordStore store(path, reports.report);
            QVERIFY(store.writeMany(knownRounds()));
        }
        // Another pupil's folder, which only its own account may open.
        const QString closed = shared.filePath("other");
        {
            Reports reports;
            RecordStore store(closed + "/record.sqlite", reports.report);
            QVERIFY(store.writeMany(knownRounds()));
        }
        QFile::setPermissions(closed, QFile::Permissions(0x7700));
        QFile::setPermissions(shared.path(), QFile::Permissions(0x7555));
        QFile::setPermissions(folder, QFile::Permissions(0x5555)); // r-x for all
        QFile::setPermissions(path, QFile::Permissions(0x4444));
        QVERIFY(QDir().mkpath(out));
        QFile::setPermissions(out, QFile::Permissions(0x7777));
        // The record itself, and the folder it is in, as a copy of the homes.
        for (const QString& source : {path, shared.path()}) {
            QByteArray said;
            const int status = run("setpriv",
                                   {"--reuid=65534", "--regid=65534", "--clear-groups",
                                    QCoreApplication::applicationFilePath(), "--read-as-child",
                                    source, out + "/results.csv"},
                                   &said);
            if (status != 0 && said.contains("Permission denied"))
                QSKIP("the test program cannot be run by the user nobody from where it was built");
            QCOMPARE(status, 0);
            // The closed folder is told, and the tools do not end as if all were read.
            QVERIFY2(said.contains(source == path ? "export 0 problems 0 rounds 3"
                                                  : "export 1 problems 1 rounds 3"),
                     said.constData());
            QVERIFY2(source == path || said.contains("ne peut pas être ouvert par ce compte"),
                     said.constData());
            QCOMPARE(contents(out + "/results.csv").count('\n'), 4);
            QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"record.sqlite"});
        }
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("file");
        using M = Options::Mode;
        QTest::newRow("none") << QStringList{} << int(M::Play) << "";
        QTest::newRow("Qt's own") << QStringList{"-platform", "xcb", "-display", ":1", "-reverse"}
                                  << int(M::Play) << "";
        QTest::newRow("Qt's own with ours")
            << QStringList{"-platform", "offscreen", "--export-csv", "a.csv"} << int(M::ExportCsv)
            << "a.csv";
        QTest::newRow("results") << QStringList{"--results"} << int(M::Results) << "";
        QTest::newRow("export") << QStringList{"--export-csv", "a.csv"} << int(M::ExportCsv)
                                << "a.csv";
        QTest::newRow("export=") << QStringList{"--export-csv=-"} << int(M::ExportCsv) << "-";
        QTest::newRow("version") << QStringList{"--version"} << int(M::Version) << "";
        QTest::newRow("no file") << QStringList{"--export-csv"} << int(M::Wrong) << "";
        QTest::newRow("two") << QStringList{"--forget", "--results"} << int(M::Wrong) << "";
        QTest::newRow("typo") << QStringList{"--resultats"} << int(M::Wrong) << "";
        QTest::newRow("unknown short") << QStringList{"-x"} << int(M::Wrong) << "";
        QTest::newRow("stray word") << QStringList{"results"} << int(M::Wrong) << "";
        QTest::newRow("help wins") << QStringList{"--forget", "-h"} << int(M::Help) << "";
        QTest::newRow("level") << QStringList{"--niveau", "dixiemes"} << int(M::Play) << "";
        QTest::newRow("level=") << QStringList{"--niveau=entiers-dixiemes"} << int(M::Play) << "";
        QTest::newRow("unknown level")
            << QStringList{"--niveau", "decimaux"} << int(M::Wrong) << "";
        QTest::newRow("no level") << QStringList{"--niveau"} << int(M::Wrong) << "";
        QTest::newRow("level twice")
            << QStringList{"--niveau", "entiers", "--niveau", "centiemes"} << int(M::Wrong) << "";
        QTest::newRow("level, not a game")
            << QStringList{"--niveau", "entiers", "--export-csv", "-"} << int(M::Wrong) << "";
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, mode);
        QFETCH(QString, file);
        const Options o = parseOptions(arguments);
        QCOMPARE(int(o.mode), mode);
        if (o.mode == Options::Mode::ExportCsv)
            QCOMPARE(o.file, file);
        if (o.mode == Options::Mode::Wrong)
            QVERIFY(!o.error.isEmpty() && !o.error.contains("option '"));
        if (o.mode == Options::Mode::Play) // the level asked, if any
            QCOMPARE(o.level, arguments.value(0).startsWith("--niveau")
                                  ? parseLevel(arguments.join('=').section('=', 1).toStdString())
                                  : std::nullopt);
        for (const char* option :
             {"--results", "--export-csv", "--forget", "--help", "--version", "--niveau"})
            QVERIFY(usage().contains(option));
    }

    // The real program: refusals, the version, output that cannot be written.
    void theProgramAnswersItsCommandLine() {
        QProcess p;
        p.start(QUILTARO_BINARY, {"--resultats"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
        const QString said = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(said.startsWith("quiltaro : option inconnue : --resultats.\nUtilisation :"),
                 qPrintable(said));
        QCOMPARE(said.count("quiltaro : "), 1);
        p.start(QUILTARO_BINARY, {"--niveau", "dixieme"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().startsWith(
            "quiltaro : niveau inconnu : « dixieme » ; entiers, dixiemes, centiemes, ou deux "
            "d'entre eux comme entiers-dixiemes.\nUtilisation :"));
        p.start(QUILTARO_BINARY, {"--version"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().startsWith("quiltaro 1."));

        QProcess full;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", file("full-output"));
        full.setProcessEnvironment(env);
        full.setStandardOutputFile("/dev/full");
        full.start(QUILTARO_BINARY, {"--export-csv", "-"});
        QVERIFY(full.waitForFinished(30000));
        QCOMPARE(full.exitCode(), 1);
        const QString why = QString::fromUtf8(full.readAllStandardError());
        QVERIFY2(why.contains("disque est plein") && !why.contains("QSql"), qPrintable(why));
        QVERIFY(!QFile::exists(file("full-output/quiltaro/record.sqlite")));
    }

    // A file-size limit (ulimit -f, a quota as the process sees it) is a
    // full disk to the program: the write fails and is told, the program is
    // not killed by the kernel's signal.
    void aFileSizeLimitIsAnErrorNotASignal() {
        const QString path = file("limited/record.sqlite");
        {
            Reports reports;
            RecordStore store(path, reports.report);
            QVERIFY(store.writeMany(knownRounds()));
        }
        QProcess p;
        p.setChildProcessModifier([] {
            const rlimit small{256, 256};
            setrlimit(RLIMIT_FSIZE, &small);
        });
        p.start(QUILTARO_BINARY, {"--export-csv", file("limited/classe.csv"), path});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QString why = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(why.contains("taille permise"), qPrintable(why));
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--read-as-child") {
        QCoreApplication app(argc, argv);
        return readAsChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    RecordCommandsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_record_commands.moc"
