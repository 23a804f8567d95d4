// A record that a newer version wrote in, with an ending and verdicts this
// version does not know: they are read as unknown, never counted as what
// they are not, written back and exported as they were stored, and the
// teacher's tools say how many rounds hold them.
#include "ClassRecord.h"
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Spill.h"
#include "SuiteFolder.h"

#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

class RecordNewerTest : public QObject, private SuiteFolder {
    Q_OBJECT

    // The known rounds, the first ended in a way and the third with a
    // verdict this version does not know; the second keeps its own.
    QString newerRecord(const QString& name) {
        const QString path = file(name + "/record.sqlite");
        {
            Reports reports;
            RecordStore store(path, reports.report);
            if (!store.writeMany(knownRounds()))
                return {};
        }
        execAll(path, {"UPDATE rounds SET ending = 'temps_ecoule' WHERE id = 1",
                       "UPDATE guesses SET verdict = 'tout_pres' WHERE round_id = 3 AND "
                       "position = 2",
                       "UPDATE guesses SET verdict = 'hors_jeu' WHERE round_id = 3 AND "
                       "position = 3"});
        return path;
    }

private slots:
    void initTestCase() { startSuite(); }

    void unknownWordsAreReadAsUnknownAndCountedAsNothing() {
        const QString path = newerRecord("read");
        QVERIFY(!path.isEmpty());
        for (const Detail detail : {Detail::Guesses, Detail::Counts}) {
            const RecordContents read = readRecord(path, detail);
            QCOMPARE(read.state, RecordContents::State::Whole);
            QCOMPARE(read.rounds.size(), size_t(3));
            const RoundRecord &first = read.rounds[0], &second = read.rounds[1],
                              &third = read.rounds[2];
            QCOMPARE(first.ending, Ending::Unknown);
            QCOMPARE(endingWord(first), QString("temps_ecoule"));
            QVERIFY(first.holdsUnknown() && !second.holdsUnknown() && third.holdsUnknown());
            // Neither a win nor an answer outside: the outside answer of
            // the second round is the only one.
            QCOMPARE(second.outsideAnswers(), 1);
            QCOMPARE(third.outsideAnswers(), 0);
            QCOMPARE(third.ending, Ending::Won);
            QCOMPARE(third.tries(), 3);
            if (detail == Detail::Guesses) {
                QCOMPARE(third.guesses[0].verdict, std::optional(Verdict::TooLow));
                QVERIFY(!third.guesses[1].verdict && !third.guesses[2].verdict);
                QCOMPARE(verdictWord(third, 1), QString("tout_pres"));
                QCOMPARE(verdictWord(third, 2), QString("hors_jeu"));
            }
        }
    }

    // A round carried from one store to another (kept aside, then written
    // into a record) keeps the words a newer version gave it.
    void unknownWordsAreWrittenBackAsTheyWere() {
        const std::vector<RoundRecord> rounds = readRecord(newerRecord("from")).rounds;
        const QString to = file("to/record.sqlite");
        Reports reports;
        RecordStore store(to, reports.report);
        QVERIFY(store.writeRecovered(rounds));
        QCOMPARE(readRecord(to).rounds, rounds);
        Spill spill(file("aside/record.sqlite"));
        QVERIFY(QDir().mkpath(file("aside")));
        QVERIFY(spill.add(1, rounds[0]) && spill.add(2, rounds[2]));
        const QStringList files = keptAsideFiles(file("aside/record.sqlite"));
        QCOMPARE(files.size(), qsizetype(1));
        QCOMPARE(Spill::read(files[0]), (std::vector<RoundRecord>{rounds[0], rounds[2]}));
    }

    void theToolsSayHowManyRoundsHoldThemAndExitWithOne() {
        const QString path = newerRecord("tools");
        const ClassRecord read = readClass({path}, Detail::Counts);
        QCOMPARE(read.rounds(), size_t(3));
        QCOMPARE(read.problems.size(), qsizetype(1));
        QVERIFY2(read.problems[0].contains("2 manches contiennent des valeurs écrites par une "
                                           "version plus récente de Quiltaro"),
                 qPrintable(read.problems[0]));
        const QString csv = file("tools.csv");
        QByteArray said;
        QCOMPARE(run(QUILTARO_BINARY, {"--export-csv", csv, path}, &said), 1);
        QVERIFY2(QString::fromUtf8(said).contains("2 manches contiennent des valeurs écrites"),
                 said.constData());
        const QString text = QString::fromUtf8(contents(csv));
        QCOMPARE(text.count("\r\n"), qsizetype(4));
        // The stored words as they are, where this version has no word of its own.
        QVERIFY2(text.contains(";temps_ecoule;500 | 371;trop grand | trouvé;"), qPrintable(text));
        QVERIFY2(text.contains(";30,5 | 38 | 37,1;trop petit | tout_pres | hors_jeu;"),
                 qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(RecordNewerTest)
#include "test_record_newer.moc"
