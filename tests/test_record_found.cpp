// The record as the game finds it on the disk: garbage where a record should
// be, a record damaged inside, one written by a newer version of the game, one
// written by an older version. Nothing the pupil played before is ever lost,
// and no game stops for it.
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Recorder.h"
#include "SuiteFolder.h"
#include "TestProgram.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

using namespace quiltaro;
using quiltaro::test::TestProgram;
using namespace quiltaro::test;

class RecordFoundTest : public QObject, private SuiteFolder {
    Q_OBJECT

private slots:
    void initTestCase() { startSuite(); }

    void aCorruptFileIsSetAsideNeverOverwritten() {
        const QString path = file("corrupt.sqlite");
        const QByteArray garbage = QByteArray("not a database at all ").repeated(200);
        QStringList setAside;
        Reports reports;
        for (int attempt = 0; attempt < 2; ++attempt) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(garbage + QByteArray::number(attempt));
            f.close();
            RecordStore store(path, reports.report);
            QVERIFY(store.write(knownRounds()[0]));
            QCOMPARE(store.readAll().size(), size_t(1));
            setAside << store.setAside();
        }
        // Twice in the same second: two names, both contents kept.
        QVERIFY(setAside[0] != setAside[1]);
        for (int attempt = 0; attempt < 2; ++attempt)
            QCOMPARE(contents(setAside[attempt]), garbage + QByteArray::number(attempt));
        QCOMPARE(reports.texts.size(), 1); // reported once per run
        QVERIFY(reports.texts[0].contains("mis de côté"));
        QVERIFY(reports.texts[0].contains(setAside[0]));
    }

    void aRecordDamagedInsideIsSetAsideWhenWritten() {
        const QString path = file("damaged.sqlite");
        Reports reports;
        {
            RecordStore store(path, reports.report);
            QVERIFY(store.writeMany(std::vector<RoundRecord>(200, knownRounds()[2])));
        }
        execAll(path, {"PRAGMA journal_mode=DELETE"});
        // The header stays, the pages behind it go.
        QByteArray bytes = contents(path);
        for (qsizetype i = 4096; i < bytes.size(); ++i)
            bytes[i] = char(0x5a);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        RecordStore store(path, reports.report);
        Recorder recorder(store);
        RoundState s;
        s.lowBound = 0, s.highBound = 1000, s.redValue = 500;
        recorder.roundGenerated(s);
        recorder.guessJudged(s, "500", Verdict::Right);
        QCOMPARE(recorder.waiting(), size_t(0));
        QCOMPARE(store.readAll().size(), size_t(1));
        // All but the header, where the journal mode was set on opening.
        QCOMPARE(contents(store.setAside()).mid(100), bytes.mid(100));
        QCOMPARE(reports.texts.size(), 1);
    }

    void aNewerSchemaIsLeftAlone() {
        const QString path = file("newer.sqlite");
        execAll(path, {"CREATE TABLE future (x)", "PRAGMA user_version = 9"});
        const QByteArray before = contents(path);
        TestProgram t;
        Reports reports;
        RecordStore store(path, reports.report);
        Recorder recorder(store);
        t.program.setRoundObserver(recorder);
        GameWindow* game = t.openGame();
        TestProgram::key(game, Qt::Key_Escape);
        TestProgram::type(game, "\r");
        TestProgram::key(game, Qt::Key_Escape);
        QVERIFY(game->isVisible());
        recorder.waiting();
        QCOMPARE(contents(path), before);
        QCOMPARE(reports.texts.size(), 1);
        QVERIFY(reports.texts[0].contains("version plus récente"));
        QCOMPARE(int(readRecord(path).state), int(RecordContents::State::Newer));
    }

    void anOlderSchemaIsMigrated() {
        const QString path = file("v1.sqlite");
        // A record as the first version wrote it: the guesses in one column.
        execAll(path,
                {"CREATE TABLE games (id INTEGER PRIMARY KEY, token TEXT NOT NULL UNIQUE,"
                 " started_at INTEGER NOT NULL)",
                 "CREATE TABLE rounds (id INTEGER PRIMARY KEY, game_id INTEGER NOT NULL"
                 " REFERENCES games(id) ON DELETE CASCADE, started_at INTEGER NOT NULL,"
                 " ended_at INTEGER NOT NULL, score_before INTEGER NOT NULL,"
                 " score_after INTEGER NOT NULL, low_bound REAL NOT NULL,"
                 " high_bound REAL NOT NULL, red_value REAL NOT NULL, tries INTEGER NOT NULL,"
                 " points INTEGER NOT NULL, ending TEXT NOT NULL, guesses TEXT NOT NULL)",
                 "INSERT INTO games VALUES (1, 'a', 1796115600000)",
                 "INSERT INTO games VALUES (2, 'b', 1796121600000)",
                 "INSERT INTO rounds VALUES (1, 1, 1796115600000, 1796115645000, 0, 2, 0, 1000,"
                 " 371, 2, 2, 'won', '500 371')",
                 "INSERT INTO rounds VALUES (2, 1, 1796115720000, 1796115765000, 2, 0, 120, 480,"
                 " 300, 1, -2, 'gave_up', '007')",
                 "INSERT INTO rounds VALUES (3, 2, 1796121600000, 1796121645000, 3, 3, 12, 40,"
                 " 37.099998474121094, 3, 0, 'won', '30.5 38 37.1')",
                 "PRAGMA user_version = 1"});
        Reports reports;
        RecordStore store(path, reports.report);
        QVERIFY(store.readAll() == knownRounds());
        execAll(path, {});
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "check");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("PRAGMA user_version") && q.next());
        QCOMPARE(q.value(0).toInt(), RecordStore::schemaVersion);
        QVERIFY(!q.exec("SELECT guesses FROM rounds")); // the old column is gone
        // Games from before pupils had names are nobody's in particular.
        QVERIFY(q.exec("SELECT DISTINCT pupil FROM games") && q.next());
        QCOMPARE(q.value(0).toString(), QString(""));
        QVERIFY(!q.next());
        q.finish();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("check");
        // And it takes new rounds like any record.
        QVERIFY(store.write(knownRounds()[0]));
        QCOMPARE(store.readAll().size(), size_t(4));
        QVERIFY(reports.texts.isEmpty());
    }
};

QTEST_MAIN(RecordFoundTest)
#include "test_record_found.moc"
