// The class as the teacher's tools read it: records found and merged by
// pupil, read only; the class table's figures, from guesses or from counts.
// The CSV and the command line are in test_class_csv.
#include "ClassRecord.h"
#include "ClassTable.h"
#include "ClassTesting.h"
#include "Export.h"
#include "FrenchCsv.h"
#include "HelpRule.h"
#include "PupilFigures.h"
#include "Pupils.h"
#include "SampleRecord.h"
#include "Spill.h"
#include "SuiteFolder.h"

#include <QApplication>
#include <QDirIterator>
#include <QtTest>

#include <map>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

// Every file under a folder with its bytes: what "only read" leaves alone.
std::map<QString, QByteArray> snapshot(const QString& folder) {
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        files[f] = contents(f);
    }
    return files;
}

} // namespace

class ClassTest : public QObject, private SuiteFolder {
    Q_OBJECT

    // A Wednesday; the week started on Monday 30 November.
    const QDateTime now{QDate(2026, 12, 2), QTime(16, 0), Qt::UTC};

private slots:
    void initTestCase() { startSuite(); }

    // A copy of the pupils' homes, a key with a record copied twice and a
    // folder named after its pupil: one class, each round once, nothing
    // written anywhere.
    void aClassIsMergedFromAFolderAndOnlyRead() {
        const QString homes = file("homes");
        std::vector<RoundRecord> shared = knownRounds();
        shared[0] = named(shared[0], QStringLiteral("Léo"));
        shared[1] = named(shared[1], QStringLiteral("Léo"));
        shared[2] = named(shared[2], QStringLiteral("Zoé"));
        write(homes + "/eleve/.local/share/quiltaro/record.sqlite", shared);
        // Written before pupils had names: the home's login is the pupil.
        std::vector<RoundRecord> old = {played("old", base, 0, 2, 3, Ending::Won)};
        write(homes + "/lea/.local/share/quiltaro/record.sqlite", old);
        // The same record on a key, twice, with a round kept beside one copy.
        const QString key = file("key");
        for (const QString& copy : {key + "/1/record.sqlite", key + "/2/record.sqlite"})
            QVERIFY(QDir().mkpath(QFileInfo(copy).path()) &&
                    QFile::copy(homes + "/eleve/.local/share/quiltaro/record.sqlite", copy));
        const RoundRecord aside =
            named(played("c", base.addDays(1), 0, 2, 2, Ending::Won), QStringLiteral("Zoé"));
        {
            Spill spill(key + "/2/record.sqlite");
            QVERIFY(spill.add(1, aside));
        }
        // Two rounds alike in everything within one record are two rounds.
        write(file("Inès/record.sqlite"), {played("i", base, 0, 0, 4, Ending::GaveUp),
                                           played("i", base, 0, 0, 4, Ending::GaveUp)});
        const auto before = snapshot(folder());

        QStringList problems;
        const QStringList records =
            findRecords({homes, key, file("Inès/record.sqlite"), file("nowhere")}, &problems);
        QCOMPARE(records.size(), 5);
        QCOMPARE(problems.size(), 1); // the path that does not exist
        QVERIFY(problems[0].contains("nowhere"));
        const ClassRecord merged = readClass(records);
        QVERIFY(merged.problems.isEmpty());
        QStringList names;
        for (const PupilRounds& p : merged.pupils)
            names << p.name;
        QCOMPARE(names, QStringList({"Inès", "lea", "Léo", "Zoé"}));
        QCOMPARE(merged.pupil("Léo")->rounds.size(), size_t(2));
        QCOMPARE(merged.pupil("Zoé")->rounds.size(),
                 size_t(2)); // the copies once, the round aside too
        QVERIFY(merged.pupil("Zoé")->rounds.back() == aside);
        QCOMPARE(merged.pupil("lea")->rounds.size(), size_t(1));
        QCOMPARE(merged.pupil("Inès")->rounds.size(), size_t(2));
        QCOMPARE(merged.rounds(), size_t(7));
        QCOMPARE(snapshot(folder()), before);

        // Where unnamed rounds go, by where their record was found.
        QCOMPARE(pupilOfRecord("/srv/copie/eleves/Noé/record.sqlite"), QString("Noé"));
        QCOMPARE(pupilOfRecord("/media/cle/tom/.local/share/quiltaro/record.sqlite"),
                 QString("tom"));
        QCOMPARE(pupilOfRecord("/media/cle/quiltaro/record.sqlite"), QString("Sans nom"));
        QCOMPARE(pupilOfRecord("/own/record.sqlite", "/own/record.sqlite"), accountPupilName());

        // The export reads them the same way, and says what it could not find.
        QString errors;
        QTextStream err(&errors);
        QCOMPARE(exportCsv({homes, key, file("nowhere")}, file("class.csv"), err), 1);
        QVERIFY2(errors.contains("nowhere"), qPrintable(errors));
        QCOMPARE(contents(file("class.csv")).count('\n'), qsizetype(1 + 5));
        QFile::remove(file("class.csv"));
        QCOMPARE(snapshot(folder()), before);
    }

    void theClassTableFigures() {
        const QDateTime mon = QDateTime(QDate(2026, 11, 30), QTime(9, 0), Qt::UTC);
        const QDateTime lastWeek = mon.addDays(-6), earlier = mon.addDays(-20);
        PupilRounds lea{"Léa",
                        {played("g1", earlier, 0, 2, 4, Ending::Won),
                         played("g1", earlier.addSecs(60), 2, 3, 8, Ending::Won, true),
                         played("g2", lastWeek, 0, 0, 6, Ending::GaveUp),
                         played("g3", mon, 0, 2, 5, Ending::Won),
                         played("g3", mon.addSecs(60), 2, 4, 3, Ending::Won),
                         played("g3", mon.addSecs(120), 4, 3, 7, Ending::NewRound, true),
                         played("g3", mon.addSecs(180), 3, 5, 2, Ending::Won),
                         // Shown, never played: counts nowhere.
                         played("g4", mon.addDays(1), 5, 5, 0, Ending::ProgramEnd)}};
        const PupilFigures f = figuresOf(lea, now);
        QCOMPARE(f.roundsPlayed, 7);
        QCOMPARE(f.lastPlayed, mon.addSecs(180 + 40));
        QCOMPARE(f.gamesThisWeek, 1);
        QCOMPARE(f.roundsThisWeek, 4);
        QCOMPARE(f.highestScore, 5);
        QCOMPARE(f.highestLevel, 1);
        // Whole numbers: 4 + 8 + 6 (given up) + 5 + 3 tries for 4 numbers found.
        QCOMPARE(f.levels[0].tries, 26);
        QCOMPARE(f.levels[0].found, 4);
        QCOMPARE(f.levels[0].triesPerFound(), 6.5);
        // Tenths: a round left for a new one, then one found in 2.
        QCOMPARE(f.levels[1].played, 2);
        QCOMPARE(f.levels[1].triesPerFound(), 9.0);
        QCOMPARE(f.levels[2].triesPerFound(), -1.0);
        QCOMPARE(f.outside, 2);
        QCOMPARE(f.gaveUp, 1);
        QCOMPARE(f.weeks, (std::vector<int>{3, -1, 0, 5}));
        QCOMPARE(f.trend(), 2);

        // A class on tenths from the first point: each round counts at the kind it
        // was played at, not the one its score would have given.
        PupilRounds tom{"Tom", {}};
        for (int i = 0; i < 9; ++i) {
            tom.rounds.push_back(played("t", mon.addSecs(60 * i), i, i + 1, 2, Ending::Won));
            tom.rounds.back().kind = i < 7 ? NumberKind::Tenths : NumberKind::Hundredths;
            tom.rounds.back().levels = parseLevel("dixiemes");
        }
        // Stuck on whole numbers only, giving up at 9 points and again at 0.
        for (int i = 0; i < 8; ++i)
            tom.rounds.push_back(
                played("u", mon.addSecs(600 + 60 * i), i == 0 ? 9 : 0, 0, 20, Ending::GaveUp));
        for (size_t i = 9; i < tom.rounds.size(); ++i)
            tom.rounds[i].kind = NumberKind::Whole, tom.rounds[i].levels = parseLevel("entiers");
        const PupilFigures t = figuresOf(tom, now);
        QCOMPARE(t.levels[0].played, 8);
        QCOMPARE(t.levels[1].played, 7);
        QCOMPARE(t.levels[2].played, 2);
        const HelpNeed help = helpNeeded(tom, now);
        QVERIFY(help.needsHelp());
        QCOMPARE(help.losingLevel, 0); // whole numbers, though 9 points give hundredths
        QCOMPARE(t.highestScore, 9);
        QCOMPARE(t.highestLevel, 2); // 9 points, reached on tenths-then-hundredths

        // The table sorts numbers as numbers and dates as dates.
        ClassRecord three;
        for (int i = 0; i < 3; ++i) {
            PupilRounds p{QStringLiteral("P%1").arg(i), {}};
            // 9, 10 and 2 answers outside, on days whose names sort otherwise.
            const int outside[] = {9, 10, 2}, day[] = {2, 1, -5};
            for (int k = 0; k < outside[i]; ++k)
                p.rounds.push_back(played("o", mon.addDays(day[i]).addSecs(60 * k), 0, 0, 1,
                                          Ending::GaveUp, true));
            three.pupils.push_back(p);
        }
        ClassTable table(summarize(three, Period{}, now));
        auto order = [&] {
            QStringList names;
            for (int row = 0; row < 3; ++row)
                names << table.pupilAt(row);
            return names;
        };
        table.sortByColumn(ClassTable::Rounds, Qt::AscendingOrder);
        QCOMPARE(order(), QStringList({"P2", "P0", "P1"}));
        table.sortByColumn(ClassTable::LastPlayed, Qt::AscendingOrder);
        QCOMPARE(order(), QStringList({"P2", "P1", "P0"}));
        table.sortByColumn(ClassTable::Pupil, Qt::AscendingOrder);
        QCOMPARE(order(), QStringList({"P0", "P1", "P2"}));
    }

    // The results window reads each round's counts, not its guesses: the
    // same figures, and an export that writes every guess, read again, with
    // or without the index of the answers outside. A record of the first
    // schema keeps its answers in the round: read whole.
    void countsReadAloneGiveTheSameFiguresAndExport() {
        QVERIFY(QDir().mkpath(file("counts")));
        const QString path = file("counts/record.sqlite");
        std::vector<RoundRecord> sample;
        for (const SamplePupil& p : sampleClass(30, now.addDays(-90), 7))
            sample.insert(sample.end(), p.rounds.begin(), p.rounds.end());
        write(path, sample);
        const ClassRecord full = readClass({path});
        // The record as written, with the answers outside indexed; as a
        // build from before that index left it; and once a game wrote in it
        // again, which indexes them.
        const auto outsideIndexed = [&] {
            return count(path, "sqlite_master WHERE name = 'guesses_outside'") == 1;
        };
        QVERIFY(outsideIndexed());
        sameCounts(full, readClass({path}, Detail::Counts));
        execAll(path, {"DROP INDEX guesses_outside"});
        sameCounts(full, readClass({path}, Detail::Counts));
        {
            Reports reports;
            RecordStore store(path, reports.report);
            QVERIFY(store.write(played("later", now, 0, 0, 2, Ending::GaveUp, true)));
        }
        QVERIFY(outsideIndexed());
        const ClassRecord again = readClass({path});
        QCOMPARE(again.rounds(), full.rounds() + 1);
        sameCounts(again, readClass({path}, Detail::Counts));

        const QString v1 = file("counts/v1.sqlite");
        QVERIFY(writeVersion1Record(v1, 2));
        const ClassRecord first = readClass({v1}, Detail::Counts);
        QCOMPARE(first.rounds(), size_t(16));
        for (const RoundRecord& r : first.pupils.front().rounds)
            QVERIFY(!r.counts && r.tries() > 0);
    }

private:
    // The counts of each round read alone give the figures of its guesses,
    // and an export, which reads the guesses again, writes the same file.
    void sameCounts(const ClassRecord& full, const ClassRecord& counted) const {
        QCOMPARE(counted.pupils.size(), full.pupils.size());
        int outside = 0;
        for (size_t i = 0; i < full.pupils.size(); ++i) {
            const PupilRounds &a = full.pupils[i], &b = counted.pupils[i];
            QCOMPARE(b.rounds.size(), a.rounds.size());
            for (size_t k = 0; k < a.rounds.size(); ++k) {
                QVERIFY(b.rounds[k].guesses.empty());
                QCOMPARE(b.rounds[k].tries(), a.rounds[k].tries());
                QCOMPARE(b.rounds[k].outsideAnswers(), a.rounds[k].outsideAnswers());
                outside += a.rounds[k].outsideAnswers();
            }
            const PupilFigures fa = figuresOf(a, now), fb = figuresOf(b, now);
            QCOMPARE(fb.roundsPlayed, fa.roundsPlayed);
            QCOMPARE(fb.outside, fa.outside);
            QCOMPARE(helpNeeded(b, now).shortText(), helpNeeded(a, now).shortText());
            for (int level = 0; level < levelCount; ++level)
                QCOMPARE(fb.levels[level].tries, fa.levels[level].tries);
        }
        QVERIFY(outside > 0);
        auto csv = [](const std::vector<PupilRounds>& pupils) {
            QString text;
            QTextStream out(&text);
            writeFrenchCsv(pupils, out);
            return text;
        };
        QCOMPARE(csv(withGuesses(counted.pupils, counted.files)), csv(full.pupils));
    }
};

int main(int argc, char** argv) {
    // Dates in the CSV are local; the expected text is written in UTC.
    setenv("TZ", "UTC", 1);
    tzset();
    QApplication app(argc, argv);
    ClassTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_class.moc"
