// A record whose header or log is damaged: SQLite alone would read nothing
// of the first and drop every frame after the damage in the second; the
// rounds they hide are read, told, and carried over by the next game.
#include "Export.h"
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Salvage.h"
#include "SampleRecord.h"
#include "SuiteFolder.h"

#include <QtTest>

#include <set>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

std::vector<RoundRecord> twentyGames() {
    return sampleRecord(20, base, 7);
}

std::set<RoundKey> keysOf(const std::vector<RoundRecord>& rounds) {
    std::set<RoundKey> keys;
    for (const RoundRecord& r : rounds)
        keys.insert(keyOf(r));
    return keys;
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray flipped(QByteArray bytes, qsizetype at, int count) {
    for (int i = 0; i < count; ++i)
        bytes[at + i] = char(bytes[at + i] ^ 0x5a);
    return bytes;
}

RoundRecord oneMore() {
    RoundRecord r = knownRounds()[0];
    r.gameToken = QStringLiteral("après");
    return r;
}

} // namespace

class RecordSalvageTest : public QObject, private SuiteFolder {
    Q_OBJECT

private slots:
    void initTestCase() { startSuite(); }

    // The magic, or the page count that SQLite trusts over the file's size.
    void aDamagedHeaderHidesNoRound_data() {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("count");
        QTest::newRow("magic") << 0 << 16;
        QTest::newRow("page count") << 28 << 4;
        QTest::newRow("page size") << 16 << 2;
    }
    void aDamagedHeaderHidesNoRound() {
        QFETCH(int, at);
        QFETCH(int, count);
        const QString path = file(QString("header-%1/record.sqlite").arg(at));
        {
            Reports reports;
            RecordStore store(path, reports.report);
            QVERIFY(store.writeMany(twentyGames()));
        }
        const QByteArray damaged = flipped(contents(path), at, count);
        QVERIFY(write(path, damaged));

        const RecordContents read = readRecord(path, Detail::Counts);
        QCOMPARE(int(read.state), int(RecordContents::State::Damaged));
        QVERIFY(keysOf(read.rounds) == keysOf(twentyGames()));
        QString errors;
        QTextStream err(&errors);
        QCOMPARE(exportCsv({path}, file("header.csv"), err), 1);
        QVERIFY2(errors.contains(QString("%1 manches ont pu être lues").arg(read.rounds.size())),
                 qPrintable(errors));
        QCOMPARE(contents(path), damaged); // the tools only read

        Reports reports;
        RecordStore store(path, reports.report);
        QVERIFY(store.write(oneMore()));
        QCOMPARE(contents(store.setAside()), damaged);
        QCOMPARE(store.carriedOver(), twentyGames().size());
        QCOMPARE(readRecord(path).rounds.size(), twentyGames().size() + 1);
        // The teacher hears of the file set aside, as long as it is there.
        QString told;
        QTextStream toldErr(&told);
        QCOMPARE(exportCsv({path}, file("after.csv"), toldErr), 1);
        QVERIFY2(told.contains("mis de côté") &&
                     told.contains(QDir::toNativeSeparators(store.setAside())),
                 qPrintable(told));
    }

    // A log that a killed game left, with a frame damaged in its middle:
    // SQLite reads up to that frame only, and the first write would go over
    // the whole frames after it.
    void aDamagedLogHidesNoRound() {
        const QString live = file("live/record.sqlite"), path = file("killed/record.sqlite");
        QVERIFY(QDir().mkpath(file("killed")));
        std::vector<RoundRecord> games = twentyGames();
        Reports liveReports;
        {
            // Made, then closed: the log starts again with the game below.
            RecordStore made(live, liveReports.report);
            QVERIFY(made.write(games[0]));
        }
        RecordStore writer(live, liveReports.report);
        // One round a transaction: one commit after another in the log.
        for (size_t i = 1; i < games.size(); ++i)
            QVERIFY(writer.write(games[i]));
        // What the kill leaves: the file and its log, as they are now.
        QVERIFY(write(path, contents(live)));
        const QByteArray log = contents(live + "-wal");
        // The frames of this log: those after them, of the log before it
        // started again, carry another salt.
        const qsizetype frame = 24 + 4096;
        qsizetype frames = 0;
        while (32 + (frames + 1) * frame <= log.size() &&
               log.mid(32 + frames * frame + 8, 8) == log.mid(16, 8))
            ++frames;
        QVERIFY2(frames >= 8, qPrintable(QString::number(frames)));
        const QByteArray damagedLog = flipped(log, 32 + frames / 3 * frame + 24 + 1000, 64);
        QVERIFY(write(path + "-wal", damagedLog));

        QVERIFY(logDamaged(path));
        QVERIFY(!logDamaged(live));
        const RecordContents read = readRecord(path);
        QCOMPARE(int(read.state), int(RecordContents::State::Damaged));
        QVERIFY(keysOf(read.rounds) == keysOf(games));

        // The game sets the file and its log aside, both, and carries over
        // every round.
        Reports reports;
        RecordStore store(path, reports.report);
        QVERIFY(store.write(oneMore()));
        QVERIFY(!store.setAside().isEmpty());
        QCOMPARE(contents(store.setAside() + "-wal"), damagedLog);
        QCOMPARE(store.carriedOver(), games.size());
        QCOMPARE(int(readRecord(path).state), int(RecordContents::State::Whole));
        QCOMPARE(readRecord(path).rounds.size(), games.size() + 1);
        QCOMPARE(reports.texts.size(), 1);
    }

    // A log cut short by a kill in the middle of a frame is no damage.
    void aLogCutShortIsNoDamage() {
        const QString live = file("cut-live/record.sqlite"), path = file("cut/record.sqlite");
        QVERIFY(QDir().mkpath(file("cut")));
        Reports reports;
        RecordStore writer(live, reports.report);
        for (const RoundRecord& r : twentyGames())
            QVERIFY(writer.write(r));
        QVERIFY(QFileInfo(live + "-wal").size() > 0);
        QVERIFY(write(path, contents(live)));
        const QByteArray log = contents(live + "-wal");
        QVERIFY(write(path + "-wal", log.left(log.size() - 1000)));
        QVERIFY(!logDamaged(path));
        QCOMPARE(int(readRecord(path).state), int(RecordContents::State::Whole));
    }
};

QTEST_GUILESS_MAIN(RecordSalvageTest)
#include "test_record_salvage.moc"
