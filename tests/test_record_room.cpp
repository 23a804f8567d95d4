// Rounds that end once the disk is full, and a pupil who leaves at once:
// the room they take on disk was taken when the game began.
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Recorder.h"
#include "SampleRecord.h"
#include "SuiteFolder.h"

#include <QtTest>

#include <sys/resource.h>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

void playRound(Recorder& recorder, RoundState& s) {
    s.lowBound = 0, s.highBound = 1000, s.redValue = 500;
    recorder.roundGenerated(s);
    recorder.guessJudged(s, "250", Verdict::TooLow);
    recorder.guessJudged(s, "500", Verdict::Right);
}

QStringList keptAside(const QString& folder) {
    return QDir(folder).entryList({"record.sqlite.attente-*"}, QDir::Files);
}

} // namespace

class RecordRoomTest : public QObject, private SuiteFolder {
    Q_OBJECT

private slots:
    void initTestCase() { startSuite(); }

    void roundsOnAFullDiskOutliveTheFarewell() {
        Mount tmpfs("mount", {"-t", "tmpfs", "-o", "size=2m", "tmpfs"}, file("small"), {"umount"});
        if (!tmpfs.mounted)
            QSKIP("mounting a small tmpfs needs root (CI runs as root)");
        // A login's first game makes the record's folder to keep its room
        // in; a disk that fills then leaves the record empty, and the
        // teacher's tools find the rounds beside it.
        {
            Reports reports;
            RecordStore store(file("small/first/record.sqlite"), reports.report);
            Recorder recorder(store, pupilsTime);
            RoundState s;
            recorder.gameStarted();
            QTRY_COMPARE(keptAside(file("small/first")).size(), qsizetype(1));
            QVERIFY(run("dd", {"if=/dev/zero", "of=" + file("small/filler"), "bs=4k"}) != 0);
            playRound(recorder, s);
            playRound(recorder, s);
            recorder.programEnding();
        }
        QCOMPARE(readRecord(file("small/first/record.sqlite")).rounds.size(), size_t(2));
        QVERIFY(QFile::remove(file("small/filler")));
        const QString path = file("small/record.sqlite");
        const std::vector<RoundRecord> before = sampleRecord(20, base, 7);
        {
            Reports reports;
            RecordStore store(path, reports.report);
            QVERIFY(store.writeMany(before));
        }
        {
            Reports reports;
            RecordStore store(path, reports.report);
            Recorder recorder(store, pupilsTime);
            RoundState s;
            recorder.gameStarted();
            // The room is taken as the game begins, before the disk fills.
            QTRY_COMPARE(keptAside(file("small")).size(), qsizetype(1));
            QVERIFY(run("dd", {"if=/dev/zero", "of=" + file("small/filler"), "bs=4k"}) != 0);
            for (int i = 0; i < 4; ++i)
                playRound(recorder, s);
            // The farewell at once: the program ends with the disk still full.
            recorder.programEnding();
        }
        // Nothing is lost meanwhile: the teacher's tools see the rounds kept aside.
        QCOMPARE(readRecord(path).rounds.size(), before.size() + 4);
        QVERIFY(QFile::remove(file("small/filler")));
        Reports reports;
        RecordStore store(path, reports.report);
        Recorder recorder(store, pupilsTime);
        RoundState s;
        recorder.gameStarted();
        playRound(recorder, s);
        recorder.programEnding();
        QCOMPARE(readRecord(path).rounds.size(), before.size() + 5);
        QCOMPARE(count(path, "rounds"), qint64(before.size() + 5));
        QVERIFY(keptAside(file("small")).isEmpty());
    }

    // Too many files open for a moment (or a home on the school's server
    // that hiccups): the record is tried again, never switched off, and no
    // round is dropped.
    void aRecordThatCannotBeOpenedForAMomentLosesNothing() {
        const QString path = file("moment/record.sqlite");
        QVERIFY(QDir().mkpath(file("moment")));
        Reports reports;
        RecordStore store(path, reports.report);
        Recorder recorder(store, pupilsTime);
        RoundState s;
        rlimit before{};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &before), 0);
        const auto open = QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
        rlimit none = before;
        none.rlim_cur = rlim_t(open.size() - 1);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &none), 0);
        for (int i = 0; i < 3; ++i)
            playRound(recorder, s);
        const size_t waiting = recorder.waiting();
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &before), 0);
        QCOMPARE(waiting, size_t(3));
        QVERIFY(store.usable());
        playRound(recorder, s);
        QCOMPARE(recorder.waiting(), size_t(0));
        QCOMPARE(count(path, "rounds"), qint64(4));
    }
};

QTEST_GUILESS_MAIN(RecordRoomTest)
#include "test_record_room.moc"
