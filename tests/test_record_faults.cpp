// The record against a hostile disk: full, size-limited, damaged byte by
// byte, without shared memory; and a file kept private.
#include "ClassRecord.h"
#include "ClassRecorder.h"
#include "Export.h"
#include "Forgetting.h"
#include "RecordChecks.h"
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Recorder.h"
#include "SampleRecord.h"
#include "SuiteFolder.h"

#include <QElapsedTimer>
#include <QtTest>

#include <csignal>
#include <random>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

// A pupil's game, as the rules tell it: rounds won at the second guess, or
// long rounds of answers outside the interval, given up.
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
    }
    void playLongRound(int answers) {
        recorder.roundGenerated(s);
        for (int i = 0; i < answers; ++i)
            recorder.guessJudged(s, "1234567", Verdict::Outside);
        recorder.gaveUp(s);
    }
};

std::vector<RoundRecord> twentyGames() {
    return sampleRecord(20, base, 7);
}

size_t roundsIn(const QString& path) {
    return readRecord(path).rounds.size();
}

} // namespace

class RecordFaultsTest : public QObject, private SuiteFolder {
    Q_OBJECT

private slots:
    void initTestCase() {
        startSuite();
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

    // A class on a full disk: no pupil's rounds can be written, nor kept
    // aside. Every writer is told to stop, then all are waited for together:
    // the end waits its patience once, not once per pupil.
    void aClassOnAFullDiskEndsInOneWait() {
        Mount tmpfs("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs"}, file("class"), {"umount"});
        if (!tmpfs.mounted)
            QSKIP("mounting a tmpfs needs root (CI runs as root)");
        const QStringList pupils{"Ana", "Bilal", "Chloé"};
        auto pathOf = [&](const QString& pupil) {
            return file("class/" + pupil + "/record.sqlite");
        };
        for (const QString& pupil : pupils) {
            Reports reports;
            RecordStore store(pathOf(pupil), reports.report);
            QVERIFY(store.writeMany(twentyGames()));
        }
        QVERIFY(run("dd", {"if=/dev/zero", "of=" + file("class/filler"), "bs=4k"}) != 0);
        Reports reports;
        ClassRecorder recorders(
            reports.report, [&](const QString& pupil, const QString&) { return pathOf(pupil); });
        for (const QString& pupil : pupils) {
            recorders.choose(pupil);
            Pupil(*recorders.recorderOf(pupil)).playRound();
            QCOMPARE(recorders.recorderOf(pupil)->waiting(), size_t(1));
        }
        QElapsedTimer ending;
        ending.start();
        recorders.programEnding();
        qInfo("three pupils' writers ended in %lld ms", ending.elapsed());
        QVERIFY2(ending.elapsed() < 2000, qPrintable(QString::number(ending.elapsed())));
    }

    // The disk fills in the middle of a game, the record open: long rounds
    // wait, the pupil is told once, and every round and every guess goes in
    // once there is room again.
    void aDiskThatFillsDuringAGameIsWaitedOut() {
        // Room for the log to grow to the size it is checkpointed at, once
        // the disk has room again.
        Mount tmpfs("mount", {"-t", "tmpfs", "-o", "size=8m", "tmpfs"}, file("filling"),
                    {"umount"});
        if (!tmpfs.mounted)
            QSKIP("mounting an 8 MB tmpfs needs root (CI runs as root)");
        Reports reports;
        RecordStore store(file("filling/record.sqlite"), reports.report);
        Recorder recorder(store);
        Pupil pupil(recorder);
        pupil.playLongRound(30);
        QCOMPARE(recorder.waiting(), size_t(0));
        QCOMPARE(count(store.path(), "rounds"), 1);
        QVERIFY(run("dd", {"if=/dev/zero", "of=" + file("filling/filler"), "bs=4k"}) != 0);
        for (int i = 0; i < 20; ++i)
            pupil.playLongRound(30);
        QVERIFY(recorder.waiting() > 0);
        QVERIFY(store.usable());
        QCOMPARE(reports.texts.size(), 1);
        QVERIFY2(reports.texts[0].contains("disque est plein"), qPrintable(reports.texts[0]));
        QVERIFY(QFile::remove(file("filling/filler")));
        pupil.playLongRound(30);
        QCOMPARE(recorder.waiting(), size_t(0));
        QCOMPARE(count(store.path(), "rounds"), 22);
        QCOMPARE(count(store.path(), "guesses"), 22 * 30);
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
        // The results window reads without waiting for the check, which
        // runs apart and tells it to read again.
        {
            RecordChecks whole({path, file("absent.sqlite")});
            QSignalSpy said(&whole, &RecordChecks::damaged);
            QVERIFY(!whole.damageFound());
            QCoreApplication::processEvents();
            QCOMPARE(said.count(), 0);
        }
        for (unsigned seed = 1; seed <= 8; ++seed) {
            QVERIFY(!damage(seed).isEmpty());
            RecordChecks checks({path});
            QSignalSpy said(&checks, &RecordChecks::damaged);
            QVERIFY(said.wait(10000));
            QVERIFY(checks.damageFound());
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
        // Damage that costs rounds, wherever the pages of this schema fall.
        QByteArray bytes;
        RecordContents read;
        for (unsigned seed = 15; seed < 60; ++seed) {
            bytes = damage(seed);
            read = readRecord(path);
            if (read.rounds.size() < twentyGames().size())
                break;
        }
        QFile f(path);
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
};

QTEST_GUILESS_MAIN(RecordFaultsTest)
#include "test_record_faults.moc"
