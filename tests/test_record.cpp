// The pupil's record: a real game read back exactly, a folder or a disk that
// will not take it, local times, pupils' names, forgetting. The record as the
// game finds it on the disk (garbage, damage, another version) is in
// test_record_found, several copies at once in test_record_copies.
#include "Controls.h"
#include "Forgetting.h"
#include "LocalTimes.h"
#include "NumberText.h"
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Recorder.h"
#include "Spill.h"
#include "SuiteFolder.h"
#include "TestProgram.h"
#include "TimeZone.h"

#include <QtTest>

#include <cstdlib>
#include <ctime>

#include <unistd.h>

using namespace quiltaro;
using quiltaro::test::TestProgram;
using namespace quiltaro::test;

class RecordTest : public QObject, private SuiteFolder {
    Q_OBJECT

private slots:
    void initTestCase() {
        startSuite();
        QVERIFY(!RecordStore::defaultPath().startsWith(QDir::homePath() + "/.local"));
    }

    void aRealGameIsReadBackExactly() {
        TestProgram t;
        Reports reports;
        RecordStore store(file("game.sqlite"), reports.report);
        Recorder recorder(store, [&] { return base.addMSecs(qint64(t.clock.seconds() * 1000)); });
        t.program.setRoundObserver(recorder);
        auto now = [&] { return base.addMSecs(qint64(t.clock.seconds() * 1000)); };
        RoundState& s = t.state();
        std::vector<RoundRecord> expected;
        auto generated = [&](const QDateTime& gameStarted) {
            RoundRecord r;
            r.gameStarted = gameStarted;
            r.started = now();
            r.scoreBefore = s.score;
            r.lowBound = s.lowBound, r.highBound = s.highBound, r.redValue = s.redValue;
            // No level set: the score's kind, and the default noted as the level.
            r.kind = kindForScore(s.score), r.levels = LevelRange{};
            expected.push_back(r);
        };
        auto text = [](double v) { return QString::fromStdString(shortestDecimal(v)); };

        const QDateTime game1 = now();
        GameWindow* game = t.openGame();
        generated(game1);
        // Round 1: outside, too low, right at try 3: two points.
        TestProgram::type(game, "1001\r\r0\r" + text(s.redValue) + "\r");
        expected.back().guesses = {{"1001", Verdict::Outside},
                                   {"0", Verdict::TooLow},
                                   {shortestDecimal(s.redValue), Verdict::Right}};
        expected.back().scoreAfter = 2, expected.back().ending = Ending::Won;
        expected.back().ended = now();
        QCOMPARE(s.score, 2);

        // Round 2: one guess, then given up.
        TestProgram::type(game, "\r");
        generated(game1);
        const std::string low = shortestDecimal(s.lowBound);
        TestProgram::type(game, QString::fromStdString(low) + "\r");
        TestProgram::key(game, Qt::Key_Escape);
        expected.back().guesses = {{low, Verdict::TooLow}};
        expected.back().scoreAfter = 0, expected.back().ending = Ending::GaveUp;
        expected.back().ended = now();

        // Round 3: left for a new game from the welcome window.
        TestProgram::type(game, "\r");
        generated(game1);
        TestProgram::type(game, "1000\r");
        expected.back().guesses = {{"1000", Verdict::TooHigh}};
        expected.back().ending = Ending::NewRound;
        QApplication::setActiveWindow(t.program.welcome());
        TestProgram::settle();
        const QDateTime game2 = now();
        t.openGame();
        expected.back().ended = now();
        generated(game2);

        // Round 4: on the line when the pupil leaves by the farewell arrow.
        TestProgram::type(game, "1001\r");
        expected.back().guesses = {{"1001", Verdict::Outside}};
        expected.back().ending = Ending::ProgramEnd;
        recorder.waiting();
        QCOMPARE(count(store.path(), "rounds"), 3); // written as each ended
        t.program.react([&] { t.program.openFarewell(); });
        TestProgram::settle();
        TestProgram::click(t.program.farewell()->findChild<ImageControl*>("flèche"));
        QCOMPARE(t.endCount, 1);
        expected.back().ended = now();

        std::vector<RoundRecord> read = store.readAll();
        QCOMPARE(read.size(), expected.size());
        for (size_t i = 0; i < read.size(); ++i) {
            QCOMPARE(read[i].gameToken, read[i < 3 ? 0 : 3].gameToken);
            expected[i].gameToken = read[i].gameToken;
            QVERIFY2(read[i] == expected[i], qPrintable(QString("round %1").arg(i + 1)));
        }
        QVERIFY(read[0].gameToken != read[3].gameToken);
        QVERIFY(reports.texts.isEmpty());
    }

    void anUnwritableFolderLeavesTheGamePlaying() {
        QFile blocker(file("not-a-folder"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TestProgram t;
        Reports reports;
        RecordStore store(file("not-a-folder/quiltaro/record.sqlite"), reports.report);
        Recorder recorder(store);
        t.program.setRoundObserver(recorder);
        GameWindow* game = t.openGame();
        for (int i = 0; i < 3; ++i)
            TestProgram::key(game, Qt::Key_Escape), TestProgram::type(game, "\r");
        QVERIFY(game->isVisible());
        // Nothing is dropped while the program runs: the folder may come back.
        QCOMPARE(recorder.waiting(), size_t(3));
        QCOMPARE(reports.texts.size(), 1);
        QVERIFY(reports.texts[0].contains("ne peuvent pas être enregistrées"));
        QVERIFY(reports.texts[0].contains("not-a-folder"));

        // A folder without the right to write in it; root may write anywhere.
        if (geteuid() != 0) {
            QVERIFY(QDir().mkpath(file("read-only")));
            QFile::setPermissions(file("read-only"), QFile::ReadOwner | QFile::ExeOwner);
            Reports denied;
            RecordStore readOnly(file("read-only/record.sqlite"), denied.report);
            QVERIFY(!readOnly.write(knownRounds()[0]));
            QCOMPARE(denied.texts.size(), 1);
        }
    }

    // The local times a record is read in are Qt's own, to the second and
    // the offset, in zones whose clocks change by an hour, by half an hour,
    // or from the southern summer, before 1970 as after, read in order and
    // out of it.
    void readTimesAreQtsLocalTimes() {
        TimeZone tz("UTC");
        const auto same = [](LocalTimes& times, qint64 ms) {
            const QDateTime read = times.at(ms), qt = QDateTime::fromMSecsSinceEpoch(ms);
            return read.toMSecsSinceEpoch() == ms && read.offsetFromUtc() == qt.offsetFromUtc() &&
                   read.date() == qt.date() && read.time() == qt.time();
        };
        for (const char* zone : {"Europe/Paris", "America/Sao_Paulo", "Australia/Lord_Howe"}) {
            tz.set(zone);
            LocalTimes inOrder, jumping;
            const qint64 from =
                QDateTime(QDate(2017, 12, 30), QTime(), Qt::UTC).toMSecsSinceEpoch();
            // Every 77 minutes and 7 seconds for two years crosses each change
            // of the clocks at another time of day.
            constexpr qint64 step = 4627000, year = 365LL * 86400000;
            for (qint64 ms = from, i = 0; i < 13700; ms += step, ++i) {
                QVERIFY2(same(inOrder, ms), qPrintable(QString(zone) + " " + QString::number(ms)));
                const qint64 elsewhere = i % 2 ? ms - year : ms;
                QVERIFY2(same(jumping, elsewhere),
                         qPrintable(QString(zone) + " " + QString::number(elsewhere)));
            }
            QVERIFY(same(
                inOrder,
                QDateTime(QDate(1965, 7, 14), QTime(23, 59, 59), Qt::UTC).toMSecsSinceEpoch()));
        }
    }

    void everyGameKeepsItsPupilsName() {
        const QString path = file("names/record.sqlite");
        Reports reports;
        std::vector<RoundRecord> rounds = knownRounds();
        rounds[0].pupil = rounds[1].pupil = QStringLiteral("Zoé Lefèvre-N'Diaye");
        rounds[2].pupil = QStringLiteral("Léo");
        RecordStore store(path, reports.report);
        QVERIFY(store.writeMany(rounds));
        QVERIFY(store.readAll() == rounds);
        QVERIFY(readRecord(path).rounds == rounds);
        // Rounds kept beside the record keep their names too.
        {
            Spill spill(path);
            QVERIFY(spill.add(7, rounds[2]));
            QDir folder(QFileInfo(path).path());
            const QStringList aside = folder.entryList({"record.sqlite.attente-*"});
            QCOMPARE(aside.size(), 1);
            QCOMPARE(Spill::read(folder.filePath(aside[0])).at(0).pupil, QStringLiteral("Léo"));
        }
        QVERIFY(reports.texts.isEmpty());
    }

    void forgettingAsksFirst() {
        const QString path = file("forget/record.sqlite");
        Reports reports;
        {
            RecordStore store(path, reports.report);
            QVERIFY(store.writeMany(knownRounds()));
        }
        QFile aside(path + ".abime-20261201-090000");
        QVERIFY(aside.open(QIODevice::WriteOnly));
        aside.close();
        for (QString answer : {"", "non\n", "o\n"}) {
            QString typed = answer, shown;
            QTextStream in(&typed), out(&shown);
            QCOMPARE(forget(path, in, out), 1);
            QVERIFY(shown.contains("Rien n'a été effacé"));
        }
        QCOMPARE(count(path, "rounds"), 3);
        QString typed = " Oui \n", shown;
        QTextStream in(&typed), out(&shown);
        QCOMPARE(forget(path, in, out), 0);
        QCOMPARE(count(path, "rounds"), 0);
        QCOMPARE(count(path, "guesses"), 0);
        QVERIFY(!aside.exists());
        QVERIFY(!contents(path).contains("37.1"));
    }

    // Rounds kept aside carry their class into the record; a record of the
    // sixth schema gets the column, its games without a class.
    void theClassGoesWhereverTheRoundGoes() {
        const QString path = file("aside/record.sqlite");
        QDir().mkpath(QFileInfo(path).path());
        std::vector<RoundRecord> rounds = knownRounds();
        for (RoundRecord& r : rounds)
            r.pupil = "Léa", r.className = "CE2-A";
        {
            Spill spill(path);
            QVERIFY(spill.add(1, rounds[0]));
            spill.release();
        }
        Reports reports;
        {
            RecordStore store(path, reports.report);
            auto leftovers = Spill::leftovers(path);
            QCOMPARE(leftovers.size(), size_t(1));
            QCOMPARE(leftovers[0].rounds.at(0).className, QString("CE2-A"));
            QVERIFY(store.writeRecovered(leftovers[0].rounds));
            Spill::finish(leftovers[0], true);
        }
        QCOMPARE(readRecord(path).rounds.at(0).className, QString("CE2-A"));

        const QString old = file("old/record.sqlite");
        QDir().mkpath(QFileInfo(old).path());
        {
            RecordStore store(old, reports.report);
            QVERIFY(store.write(rounds[1]));
        }
        // As version 6 left it: no column, and the version said.
        execAll(old, {"ALTER TABLE games DROP COLUMN class_name", "PRAGMA user_version = 6"});
        QCOMPARE(readRecord(old).rounds.at(0).className, QString());
        {
            RecordStore store(old, reports.report);
            QVERIFY(store.write(rounds[2]));
        }
        const auto read = readRecord(old).rounds;
        QCOMPARE(read.size(), size_t(2));
        QCOMPARE(read[0].className, QString());
        QCOMPARE(read[1].className, QString("CE2-A"));
        QVERIFY(reports.texts.isEmpty());
    }
};

int main(int argc, char** argv) {
    // Dates in the CSV are local; the expected text is written in UTC.
    setenv("TZ", "UTC", 1);
    tzset();
    QApplication app(argc, argv);
    RecordTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_record.moc"
