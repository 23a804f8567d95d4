// Several copies of the game on one record at once, as when one login is
// shared by a class: each copy's rounds all kept, a busy record waited for
// or its rounds kept beside it, a copy killed in the middle of a round.
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Recorder.h"
#include "Spill.h"
#include "SuiteFolder.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

// Writes `round` as a game does when another copy holds the record: a round
// that finds it busy is kept and written later, and nothing else may go
// wrong meanwhile. False when something else went wrong or it took too long.
bool writeEventually(RecordStore& store, const RoundRecord& round) {
    QElapsedTimer waited;
    waited.start();
    while (!store.write(round))
        if (!store.foundBusy() || waited.elapsed() > 20000)
            return false;
    return true;
}

// The second copy of the game, in a process of its own: writes `rounds`
// rounds of its own game, one transaction each, as fast as it can.
int secondCopy(const QString& path, int rounds) {
    ProblemReport report{[](const QString&) {}};
    RecordStore store(path, report);
    for (int i = 0; i < rounds; ++i)
        if (!writeEventually(store, round("second", i, 0, 2, 0, 1000, 500,
                                          {{"500", Verdict::Right}}, Ending::Won)))
            return 1;
    return 0;
}

// A game killed in the middle of its sixth round, after five were written.
int killedCopy(const QString& path) {
    ProblemReport report;
    RecordStore store(path, report);
    Recorder recorder(store);
    RoundState s;
    s.lowBound = 0, s.highBound = 1000, s.redValue = 500;
    for (int i = 0; i < 6; ++i) {
        recorder.roundGenerated(s);
        recorder.guessJudged(s, "250", Verdict::TooLow);
        if (i < 5)
            recorder.guessJudged(s, "500", Verdict::Right);
    }
    recorder.waiting(); // a moment after the fifth round ended
    raise(SIGKILL);
    return 1;
}

} // namespace

class RecordCopiesTest : public QObject, private SuiteFolder {
    Q_OBJECT

private slots:
    void initTestCase() { startSuite(); }

    void aLockedRecordIsWrittenOnceFree() {
        Reports reports;
        const QString path = file("locked.sqlite");
        RecordStore store(path, reports.report);
        QVERIFY(store.open());
        Recorder recorder(store);
        RoundState s;
        s.lowBound = 0, s.highBound = 1000, s.redValue = 500;
        auto playRound = [&] {
            recorder.roundGenerated(s);
            recorder.guessJudged(s, "500", Verdict::Right);
        };
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
            other.setDatabaseName(path);
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec("BEGIN EXCLUSIVE"));
            QElapsedTimer waited;
            waited.start();
            playRound();
            playRound();
            QVERIFY(waited.elapsed() < 1000); // a short wait, never a hang
            QCOMPARE(recorder.waiting(), size_t(2));
            QVERIFY(q.exec("COMMIT"));
        }
        QSqlDatabase::removeDatabase("other");
        // Tried again soon, without waiting for another round to end.
        QTRY_COMPARE_WITH_TIMEOUT(recorder.waiting(), size_t(0), 1000);
        playRound();
        QCOMPARE(recorder.waiting(), size_t(0));
        QCOMPARE(count(path, "rounds"), 3);
        QCOMPARE(reports.texts.size(), 1);
        QVERIFY(reports.texts[0].contains("autre Quiltaro"));
    }

    void twoCopiesAtOnce() {
        const QString path = file("two.sqlite");
        QProcess other;
        other.setProcessChannelMode(QProcess::ForwardedChannels);
        other.start(QCoreApplication::applicationFilePath(), {"--second-copy", path, "150"});
        QVERIFY(other.waitForStarted());
        Reports reports;
        RecordStore store(path, reports.report);
        const RoundRecord mine = knownRounds()[2];
        for (int i = 0; i < 150; ++i)
            QVERIFY(writeEventually(store, mine));
        QVERIFY(other.waitForFinished(30000));
        QCOMPARE(other.exitCode(), 0);
        const auto rounds = store.readAll();
        QCOMPARE(rounds.size(), size_t(300));
        int theirs = 0;
        for (const RoundRecord& r : rounds) {
            theirs += r.gameToken == "second";
            QCOMPARE(r.tries(), r.gameToken == "second" ? 1 : 3);
        }
        QCOMPARE(theirs, 150);
        QCOMPARE(count(path, "games"), 2);
    }

    // SQLite refuses a new record's change of journal at once, without
    // waiting, while another copy holds the write lock.
    void aNewRecordBeingCreatedByAnotherCopyIsWaitedFor() {
        const QString path = file("new.sqlite");
        QProcess other;
        QVERIFY(anotherCopyHolds(other, path, 60));
        Reports reports;
        RecordStore store(path, reports.report);
        QVERIFY(store.write(knownRounds()[0]));
        QCOMPARE(reports.texts, QStringList());
        QVERIFY(other.waitForFinished(30000));
        QCOMPARE(other.exitCode(), 0);
        QCOMPARE(store.readAll().size(), size_t(1));
    }

    // At the end there is no next round to try again on: the last round
    // waits a moment for a busy record, or is kept beside it, but never keeps
    // the program from ending; the next copy writes it in.
    void theLastRoundOfABusyRecordIsKeptForTheNextCopy() {
        const QString path = file("last.sqlite");
        Reports reports;
        RecordStore store(path, reports.report);
        QVERIFY(store.open());
        RoundState s;
        s.lowBound = 0, s.highBound = 1000, s.redValue = 500;
        QProcess other;
        {
            Recorder recorder(store);
            recorder.roundGenerated(s);
            QVERIFY(anotherCopyHolds(other, path, 3000));
            recorder.guessJudged(s, "500", Verdict::Right);
            QElapsedTimer waited;
            waited.start();
            recorder.programEnding();
            // Its patience, and room for a loaded machine under the
            // sanitizers: still short of the 3 s the other copy holds it.
            QVERIFY(waited.elapsed() < Recorder::patienceAtEnd.count() + 1000);
            QCOMPARE(recorder.waiting(), size_t(1));
        }
        const QStringList aside = QDir(folder()).entryList({"last.sqlite.attente-*"});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(Spill::read(file(aside[0])).size(), size_t(1));
        QVERIFY(other.waitForFinished(30000));
        Recorder next(store);
        next.roundGenerated(s);
        next.guessJudged(s, "500", Verdict::Right);
        QCOMPARE(next.waiting(), size_t(0));
        QTRY_COMPARE(count(path, "rounds"), 2);
        next.programEnding(); // its own file kept room for its rounds until now
        QCOMPARE(QDir(folder()).entryList({"last.sqlite.attente-*"}), QStringList());
        QCOMPARE(reports.texts.size(), 1);
        QVERIFY(reports.texts[0].contains("autre Quiltaro"));
    }

    void aKilledGameLosesOnlyTheRoundInProgress() {
        const QString path = file("killed.sqlite");
        QProcess killed;
        killed.start(QCoreApplication::applicationFilePath(), {"--killed", path});
        QVERIFY(killed.waitForFinished(30000));
        QCOMPARE(killed.exitStatus(), QProcess::CrashExit);
        Reports reports;
        RecordStore store(path, reports.report);
        const auto rounds = store.readAll();
        QCOMPARE(rounds.size(), size_t(5));
        for (const RoundRecord& r : rounds)
            QCOMPARE(r.tries(), 2);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "integrity");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("PRAGMA integrity_check") && q.next());
            QCOMPARE(q.value(0).toString(), QString("ok"));
        }
        QSqlDatabase::removeDatabase("integrity");
        QVERIFY(reports.texts.isEmpty());
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--second-copy") {
        QCoreApplication app(argc, argv);
        return secondCopy(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    }
    if (argc == 4 && std::string(argv[1]) == "--holding") {
        QCoreApplication app(argc, argv);
        return copyHoldingTheRecord(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    }
    if (argc == 3 && std::string(argv[1]) == "--killed") {
        QCoreApplication app(argc, argv);
        return killedCopy(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    RecordCopiesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_record_copies.moc"
