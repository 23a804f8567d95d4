// The record against a hostile disk: full, size-limited, damaged byte by
// byte, without shared memory, read-only; the teacher's tools that must only
// read; a file kept private; and the command line.
#include "ClassRecord.h"
#include "Commands.h"
#include "DesktopLocale.h"
#include "Export.h"
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Recorder.h"
#include "SampleRecord.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <random>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

int run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(60000))
        return -1;
    if (output)
        *output = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// A filesystem mounted for one test, and unmounted whatever happens.
struct Mount {
    QString point;
    QStringList unmount;
    bool mounted = false;
    Mount(const QString& program, const QStringList& arguments, QString at, QStringList undo)
        : point(std::move(at)), unmount(std::move(undo)) {
        QDir().mkpath(point);
        mounted = run(program, arguments + QStringList{point}) == 0;
    }
    ~Mount() {
        if (mounted)
            run(unmount.first(), unmount.mid(1) + QStringList{point});
    }
};

// A pupil's game, as the rules tell it: rounds won at the first guess.
struct Pupil {
    Recorder& recorder;
    RoundState s;
    explicit Pupil(Recorder& r) : recorder(r) {
        s.lowBound = 0, s.highBound = 1000, s.redValue = 500;
    }
    void playRound() {
        recorder.roundGenerated(s);
        recorder.guessJudged(s, "250", Verdict::TooLow);
        recorder.guessJudged(s, "500", Verdict::Right);
        recorder.betweenReactions();
    }
};

std::vector<RoundRecord> twentyGames() {
    return sampleRecord(20, base, 7);
}

size_t roundsIn(const QString& path) {
    return readRecord(path).rounds.size();
}

// Run as another user: reads the record, or the records under a folder, with
// the teacher's tools and says what they found.
int readAsChild(const QString& record, const QString& csv) {
    QTextStream err(stderr);
    const int exported = exportCsv({record}, csv, err);
    const ClassRecord results = readClass(findRecords({record}));
    std::printf("export %d problems %lld rounds %lld\n", exported,
                static_cast<long long>(results.problems.size()),
                static_cast<long long>(results.rounds()));
    return 0;
}

} // namespace

class RecordFaultsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString file(const QString& name) const { return dir.filePath(name); }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QVERIFY(dir.isValid());
        QStandardPaths::setTestModeEnabled(true);
        std::signal(SIGXFSZ, SIG_IGN); // a file-size limit answers the write, not a signal
    }

    // The disk fills while a record of twenty games is open: not even the
    // log's index can be made. The rounds wait, and go in once there is room.
    void aFullDiskIsWaitedOut() {
        Mount tmpfs("mount", {"-t", "tmpfs", "-o", "size=400k", "tmpfs"}, file("small"),
                    {"umount"});
        if (!tmpfs.mounted)
            QSKIP("mounting a 400 kB tmpfs needs root (CI runs as root)");
        const QString path = file("small/record.sqlite");
        {
            Reports reports;
            RecordStore store(path, reports.report);
            QVERIFY(store.writeMany(twentyGames()));
        }
        const size_t before = roundsIn(path);
        QVERIFY(run("dd", {"if=/dev/zero", "of=" + file("small/filler"), "bs=4k"}) != 0);
        Reports reports;
        RecordStore store(path, reports.report);
        Recorder recorder(store);
        Pupil pupil(recorder);
        for (int i = 0; i < 4; ++i)
            pupil.playRound();
        QVERIFY(store.usable());
        QCOMPARE(recorder.waiting(), size_t(4));
        QCOMPARE(reports.texts.size(), 1);
        QVERIFY2(reports.texts[0].contains("disque est plein"), qPrintable(reports.texts[0]));
        QVERIFY(QFile::remove(file("small/filler")));
        pupil.playRound();
        QCOMPARE(recorder.waiting(), size_t(0));
        QCOMPARE(roundsIn(path), before + 5);
    }

    // A file-size limit (a quota, as far as the process can tell) is one
    // more reason to wait, never to stop recording.
    void aFileSizeLimitIsWaitedOut() {
        const QString path = file("limited.sqlite");
        Reports reports;
        RecordStore store(path, reports.report);
        QVERIFY(store.writeMany(twentyGames()));
        Recorder recorder(store);
        Pupil pupil(recorder);
        rlimit before{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit limited = before;
        limited.rlim_cur = rlim_t(QFileInfo(path).size() + QFileInfo(path + "-wal").size());
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        for (int i = 0; i < 30; ++i)
            pupil.playRound();
        const size_t waiting = recorder.waiting();
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &before), 0);
        QVERIFY(waiting > 0);
        QVERIFY(store.usable());
        pupil.playRound();
        QCOMPARE(recorder.waiting(), size_t(0));
        QCOMPARE(roundsIn(path), twentyGames().size() + 31);
        for (const QString& text : reports.texts)
            QVERIFY2(!text.contains("disk") && !text.contains("error"), qPrintable(text));
    }

    // 64 bytes flipped in the middle of the file: the tools say how much they
    // could read and fail; the game sets the file aside untouched, carries
    // over what can be read, and goes on in a fresh file.
    void aDamagedRecordIsToldSetAsideAndCarriedOver() {
        const QString path = file("damaged/record.sqlite");
        {
            Reports reports;
            RecordStore store(path, reports.report);
            QVERIFY(store.writeMany(twentyGames()));
        }
        const QByteArray whole = contents(path);
        QVERIFY(whole.size() >= 16 * 4096);
        auto damage = [&](unsigned seed) {
            QByteArray bytes = whole;
            std::mt19937 rng(seed);
            for (int i = 0; i < 64; ++i)
                bytes[4 * 4096 + qsizetype(rng() % (11 * 4096))] ^= char(0xff);
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? bytes
                                                                                  : QByteArray();
        };
        // However the damage falls, it is found, and most rounds are read
        // around it, even where a scan would end early without an error.
        for (unsigned seed = 1; seed <= 8; ++seed) {
            QVERIFY(!damage(seed).isEmpty());
            const RecordContents read = readRecord(path);
            QCOMPARE(int(read.state), int(RecordContents::State::Damaged));
            QVERIFY2(read.rounds.size() >= twentyGames().size() * 3 / 4,
                     qPrintable(QString("seed %1: %2 rounds").arg(seed).arg(read.rounds.size())));
            // The results window's reading, counts without guesses, finds
            // the same.
            const RecordContents counted = readRecord(path, Detail::Counts);
            QCOMPARE(int(counted.state), int(RecordContents::State::Damaged));
            QCOMPARE(counted.rounds.size(), read.rounds.size());
        }
        const QByteArray bytes = damage(15);
        QFile f(path);

        const RecordContents read = readRecord(path);
        QCOMPARE(int(read.state), int(RecordContents::State::Damaged));
        QVERIFY(read.rounds.size() < twentyGames().size());
        QString errors;
        QTextStream err(&errors);
        QCOMPARE(exportCsv({path}, file("damaged.csv"), err), 1);
        QVERIFY2(errors.contains("abîmé") &&
                     errors.contains(QString::number(read.rounds.size()) + " manches"),
                 qPrintable(errors));
        QCOMPARE(contents(file("damaged.csv")).count('\n'), qsizetype(read.rounds.size() + 1));
        const ClassRecord results = readClass({path});
        QVERIFY(results.damaged);
        QCOMPARE(results.rounds(), read.rounds.size());
        QCOMPARE(contents(path), bytes); // the tools only read
        QCOMPARE(QDir(file("damaged")).entryList(QDir::Files), QStringList{"record.sqlite"});

        {
            Reports reports;
            RecordStore store(path, reports.report);
            Recorder recorder(store);
            Pupil(recorder).playRound();
            QCOMPARE(recorder.waiting(), size_t(0));
            QVERIFY(!store.setAside().isEmpty());
            QCOMPARE(contents(store.setAside()), bytes);
            QCOMPARE(store.carriedOver(), read.rounds.size());
            const RecordContents fresh = readRecord(path);
            QCOMPARE(int(fresh.state), int(RecordContents::State::Whole));
            QCOMPARE(fresh.rounds.size(), read.rounds.size() + 1);
            QVERIFY(std::equal(read.rounds.begin(), read.rounds.end(), fresh.rounds.begin()));
            QCOMPARE(reports.texts.size(), 1);
            QVERIFY2(reports.texts[0].contains(QString::number(read.rounds.size()) + " manches"),
                     qPrintable(reports.texts[0]));
            QFile::remove(store.setAside());
        }

        // Forgetting a damaged record erases it, without setting it aside.
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        QString typed = "oui\n", shown;
        QTextStream in(&typed), out(&shown);
        QCOMPARE(forget(path, in, out), 0);
        QVERIFY2(!shown.contains("mis de côté") && !shown.contains("malformed"), qPrintable(shown));
        QVERIFY(!QFile::exists(path));
    }

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
            QCOMPARE(exportCsv({path}, file("tools.csv"), err), 0);
            QCOMPARE(readClass({path}).damaged, false);
            QCOMPARE(contents(path), before);
            QCOMPARE(QFileInfo(path).dir().entryList(QDir::Files), QStringList{"record.sqlite"});
            QVERIFY(errors.isEmpty());
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
            QVERIFY2(said.contains("export 0 problems 0 rounds 3"), said.constData());
            QCOMPARE(contents(out + "/results.csv").count('\n'), 4);
            QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"record.sqlite"});
        }
    }

    // A home on a server that gives no shared memory, as a FUSE mount with
    // direct_io: the record keeps a rollback journal there, and says nothing.
    void aFilesystemWithoutSharedMemoryGetsARollbackJournal() {
        if (QStandardPaths::findExecutable("bindfs").isEmpty())
            QSKIP("bindfs is not installed (scripts/setup.sh installs it)");
        QVERIFY(QDir().mkpath(file("server")));
        // A record in write-ahead mode, as a first program left it, beside a new one.
        {
            Reports reports;
            RecordStore store(file("server/old.sqlite"), reports.report);
            QVERIFY(store.writeMany(knownRounds()));
        }
        Mount fuse("bindfs", {"-o", "direct_io", file("server")}, file("home"),
                   {"fusermount3", "-u"});
        if (!fuse.mounted)
            QSKIP("no FUSE mount here (/dev/fuse is missing or not allowed)");
        for (const QString name : {"new.sqlite", "old.sqlite"}) {
            const QString path = file("home/" + name);
            const size_t before = roundsIn(path);
            Reports reports;
            {
                RecordStore store(path, reports.report);
                Recorder recorder(store);
                Pupil pupil(recorder);
                for (int i = 0; i < 3; ++i)
                    pupil.playRound();
                QCOMPARE(recorder.waiting(), size_t(0));
                QVERIFY(store.rollbackJournal());
            }
            QCOMPARE(reports.texts, QStringList());
            QCOMPARE(roundsIn(path), before + 3);
            QCOMPARE(readClass({path}).rounds(), before + 3);
        }
    }

    void theRecordIsPrivate() {
        const QString path = file("private/quiltaro/record.sqlite");
        Reports reports;
        RecordStore store(path, reports.report);
        QVERIFY(store.write(knownRounds()[0]));
        for (const auto& [name, mode] :
             {std::pair{path, 0600}, {file("private/quiltaro"), 0700}, {file("private"), 0700}}) {
            struct stat st {};
            QCOMPARE(::stat(QFile::encodeName(name).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, mode_t(mode));
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
        for (const char* option : {"--results", "--export-csv", "--forget", "--help", "--version"})
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
};

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--read-as-child") {
        QCoreApplication app(argc, argv);
        return readAsChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    RecordFaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_record_faults.moc"
