// The figures of the teacher's window made of counted rounds (the class's
// PostgreSQL server counts them; a record's rounds are read and counted
// here) against the same figures made of the rounds themselves, on
// generated classes: every pupil, every kind of period, in Paris time across
// the change to winter time.
#include "ClassSummary.h"
#include "DesktopLocale.h"
#include "HelpRule.h"
#include "RecordCounting.h"
#include "RecordTesting.h"
#include "SampleClass.h"
#include "SampleRecord.h"
#include "ServerBulk.h"
#include "ServerConnection.h"
#include "ServerCounts.h"
#include "ServerRounds.h"
#include "ServerTesting.h"
#include "TimeZone.h"

#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

// Friday 4 December 2026, before any day these tests run on (the server
// refuses rounds from the future); the class played from September, through
// the night of 25 October when Paris went back to winter time.
const QDate lastDay(2026, 12, 4);

QString differs(const QString& what, const QVariant& counted, const QVariant& read) {
    return counted == read ? QString()
                           : QStringLiteral("%1 : %2 compté, %3 lu")
                                 .arg(what, counted.toString(), read.toString());
}

QString weeksText(const std::vector<int>& weeks) {
    QStringList text;
    for (int w : weeks)
        text << QString::number(w);
    return text.join(QLatin1Char(','));
}

QString helpText(const HelpNeed& need) {
    QStringList text;
    for (const HelpReason& r : need.reasons)
        text << r.shortText + QLatin1Char('|') + r.text;
    return text.join(QLatin1Char('/')) +
           QStringLiteral(" niveau %1 absent %2").arg(need.losingLevel).arg(need.daysAway);
}

// What differs between a pupil's summary made of counts and the figures the
// rounds give, as figuresOf, countsOf and helpNeeded make them.
QString difference(const PupilSummary& s, const PupilRounds& pupil, const Period& period,
                   const QDateTime& end) {
    const PupilRounds within = inPeriod(pupil, period);
    const PupilFigures f = figuresOf(within, end);
    const PeriodCounts c = countsOf(within.rounds);
    QStringList found;
    const auto check = [&](const QString& what, const QVariant& counted, const QVariant& read) {
        if (const QString d = differs(what, counted, read); !d.isEmpty())
            found << d;
    };
    check("dernière", s.figures.lastPlayed.toMSecsSinceEpoch(), f.lastPlayed.toMSecsSinceEpoch());
    check("parties semaine", s.figures.gamesThisWeek, f.gamesThisWeek);
    check("manches semaine", s.figures.roundsThisWeek, f.roundsThisWeek);
    check("manches", s.figures.roundsPlayed, f.roundsPlayed);
    check("meilleur", s.figures.highestScore, f.highestScore);
    check("niveau atteint", s.figures.highestLevel, f.highestLevel);
    for (size_t l = 0; l < levelCount; ++l) {
        check(QStringLiteral("jouées %1").arg(l), s.figures.levels[l].played, f.levels[l].played);
        check(QStringLiteral("trouvés %1").arg(l), s.figures.levels[l].found, f.levels[l].found);
        check(QStringLiteral("essais %1").arg(l), s.figures.levels[l].tries, f.levels[l].tries);
    }
    check("dehors", s.figures.outside, f.outside);
    check("abandons", s.figures.gaveUp, f.gaveUp);
    check("semaines", weeksText(s.figures.weeks), weeksText(f.weeks));
    check("parties", s.counts.games, c.games);
    check("gagnées", s.counts.gamesWon, c.gamesWon);
    check("secondes", s.counts.seconds, c.seconds);
    check("points gagnés", s.counts.pointsWon, c.pointsWon);
    check("points perdus", s.counts.pointsLost, c.pointsLost);
    check("aide", helpText(s.help), helpText(helpNeeded(pupil, end)));
    check("tendance", weeksText(s.weeks), weeksText(figuresOf(pupil, end).weeks));
    return found.join(QStringLiteral(" ; "));
}

std::vector<Period> periodsUpTo(const QDate& today) {
    std::vector<Period> periods;
    for (auto kind : {Period::Kind::ThisWeek, Period::Kind::LastSevenDays, Period::Kind::ThisMonth,
                      Period::Kind::SchoolTerm, Period::Kind::Everything})
        periods.push_back(Period::of(kind, today));
    // Ended weeks ago, so that the help rule looks back from that evening;
    // and the week of the change to winter time.
    periods.push_back(Period::between(today.addDays(-45), today.addDays(-24)));
    periods.push_back(Period::between(QDate(2026, 10, 20), QDate(2026, 10, 27)));
    return periods;
}

// Every pupil counted, and each figure the same as the rounds give. The
// window looks from now, after every round (a round can start later the
// same day only on a clock set ahead): the Saturday after, or an evening
// weeks before, whose rounds after it count whole.
void compareFigures(const ClassRecord& counted, const ClassRecord& read) {
    QCOMPARE(counted.pupils.size(), read.pupils.size());
    for (const QDateTime& now : {QDateTime(lastDay.addDays(1), QTime(8, 0)),
                                 QDateTime(lastDay.addDays(-17), QTime(23, 0))})
        for (const Period& period : periodsUpTo(now.date())) {
            const ClassSummary s = summarize(counted, period, now);
            for (size_t i = 0; i < s.pupils.size(); ++i) {
                QCOMPARE(s.pupils[i].name, read.pupils[i].name);
                const QString d = difference(s.pupils[i], read.pupils[i], period, s.end);
                QVERIFY2(
                    d.isEmpty(),
                    qPrintable(
                        QStringLiteral("%1, %2 : %3").arg(read.pupils[i].name, period.text(), d)));
            }
        }
}

std::vector<RoundRecord> roundsOfClass(int pupils, std::uint64_t seed) {
    std::vector<RoundRecord> all;
    for (GeneratedPupil& p : generateClass(pupils, 14, lastDay, seed))
        all.insert(all.end(), p.rounds.begin(), p.rounds.end());
    return all;
}

// The class counted by the server, and read from it round by round: each
// pupil counted, with the figures of the rounds.
void compareOnServer(ServerConnection& teacher, const ServerSettings& settings) {
    ClassRecord counted;
    QVERIFY2(readServerClassCounts(teacher, settings, counted), qPrintable(teacher.problem()));
    for (const PupilRounds& p : counted.pupils)
        QVERIFY2(p.counted, qPrintable(p.name));
    const ServerRounds rounds = readServerRounds(teacher, settings.className);
    QVERIFY(rounds.ok);
    compareFigures(counted, classOfRounds(rounds.rounds));
}

} // namespace

class CountsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ClassServer classServer;
    TimeZone paris{"Europe/Paris"};

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QVERIFY(dir.isValid());
    }

    // Each pupil's record counted by SQLite gives the figures its rounds
    // give, for every period.
    void recordsCountedGiveTheFiguresOfTheirRounds() {
        QStringList files;
        for (GeneratedPupil& p : generateClass(14, 14, lastDay, 5)) {
            const QString file = dir.filePath("classe/" + p.name + "/record.sqlite");
            QVERIFY(QDir().mkpath(QFileInfo(file).path()));
            Reports reports;
            RecordStore store(file, reports.report);
            QVERIFY(store.writeMany(p.rounds));
            files << file;
        }
        const ClassRecord counted = countClass(files);
        const ClassRecord read = readClass(files, Detail::Counts);
        QVERIFY(counted.problems.isEmpty());
        for (const PupilRounds& p : counted.pupils) {
            QVERIFY2(p.counted, qPrintable(p.name));
            // As the server's counts come, without the rounds.
            QVERIFY(p.rounds.empty());
            QCOMPARE(p.counted->rounds, qint64(read.pupil(p.name)->rounds.size()));
        }
        compareFigures(counted, read);
    }

    // An older record, and a pupil whose record was copied twice: each
    // round counted once.
    void roundsFoundTwiceAreCountedOnce() {
        const QString folder = dir.filePath("melange");
        QStringList files, names;
        for (GeneratedPupil& p : generateClass(3, 4, lastDay, 9)) {
            names << p.name;
            const QString file = folder + "/" + p.name + "/record.sqlite";
            QVERIFY(QDir().mkpath(QFileInfo(file).path()));
            Reports reports;
            RecordStore store(file, reports.report);
            QVERIFY(store.writeMany(p.rounds));
            files << file;
        }
        QVERIFY(QDir().mkpath(folder + "/cle"));
        QVERIFY(QFile::copy(files[0], folder + "/cle/record.sqlite"));
        files << folder + "/cle/record.sqlite";
        QVERIFY(QDir().mkpath(folder + "/Ancien"));
        QVERIFY(writeVersion1Record(folder + "/Ancien/record.sqlite", 30));
        files << folder + "/Ancien/record.sqlite";
        const ClassRecord counted = countClass(files);
        const ClassRecord read = readClass(files, Detail::Counts);
        QCOMPARE(counted.pupils.size(), size_t(4));
        QCOMPARE(counted.rounds(), read.rounds());
        QCOMPARE(counted.pupil(names[0])->counted->rounds,
                 qint64(read.pupil(names[0])->rounds.size()));
        compareFigures(counted, read);
    }

    // Records of every kind counted together as they are read together: an
    // older one read round by round beside the others, a pupil whose rounds
    // lie in two records, rounds that name no pupil. In Paris, and in a zone
    // half an hour off whole hours, whose days start in the middle of an
    // hour of UTC. A chart reads again the rounds of its pupil alone.
    void recordsOfEveryKindAreCountedTogether() {
        for (const char* zone : {"Asia/Kolkata", "Europe/Paris"}) {
            paris.set(zone);
            const QString folder = dir.filePath(QStringLiteral("ensemble-%1").arg(zone));
            std::vector<GeneratedPupil> pupils = generateClass(3, 6, lastDay, 11);
            std::vector<RoundRecord>& split = pupils[0].rounds;
            std::vector<RoundRecord> later(split.begin() + long(split.size() / 2), split.end());
            split.resize(split.size() / 2);
            pupils.push_back({pupils[0].name, pupils[0].kind, later});
            for (RoundRecord& r : pupils[2].rounds)
                r.pupil.clear();
            QStringList files;
            for (size_t i = 0; i < pupils.size(); ++i) {
                const QString file =
                    QStringLiteral("%1/%2-%3/record.sqlite").arg(folder, pupils[i].name).arg(i);
                QVERIFY(QDir().mkpath(QFileInfo(file).path()));
                Reports reports;
                RecordStore store(file, reports.report);
                QVERIFY(store.writeMany(pupils[i].rounds));
                files << file;
            }
            QVERIFY(QDir().mkpath(folder + "/Ancien"));
            QVERIFY(writeVersion1Record(folder + "/Ancien/record.sqlite", 40));
            files << folder + "/Ancien/record.sqlite";
            // Counted as numbers, but for the older record.
            for (qsizetype i = 0; i < files.size(); ++i)
                QCOMPARE(readCounted(files[i], true).has_value(), i + 1 < files.size());
            const ClassRecord counted = countClass(files);
            const ClassRecord read = readClass(files, Detail::Counts);
            QCOMPARE(counted.problems, read.problems);
            QCOMPARE(counted.pupils.size(), size_t(4));
            QCOMPARE(counted.rounds(), read.rounds());
            compareFigures(counted, read);
            for (const PupilRounds& p : counted.pupils)
                QCOMPARE(roundsRead(counted, {p}, Detail::Counts).front().rounds.size(),
                         read.pupil(p.name)->rounds.size());
        }
    }

    // A pupil's record of years of play, whose answers outside are counted
    // beside the reading of its rounds, gives the figures of its rounds.
    void aLongRecordGivesTheFiguresOfItsRounds() {
        const QString file = dir.filePath("longue/Eva/record.sqlite");
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        std::vector<RoundRecord> rounds =
            sampleRecord(2500, QDateTime(lastDay.addYears(-2), QTime(9, 0)), 3);
        for (RoundRecord& r : rounds)
            r.pupil = "Eva";
        {
            Reports reports;
            RecordStore store(file, reports.report);
            QVERIFY(store.writeMany(rounds));
        }
        QVERIFY(rounds.size() > 20000);
        QVERIFY(readCounted(file, false).has_value());
        compareFigures(countClass({file}), readClass({file}, Detail::Counts));
    }

    // The class on the server, counted there among other classes, gives
    // the figures of its rounds read from there; a round that arrives
    // changes the stamp the feed watches, and is counted.
    void theServerCountsTheClass() {
        classServer.start();
        const QString db = classServer.freshDatabase();
        QVERIFY(!db.isEmpty());
        ServerConnection admin(classServer.server->conninfo("admin", db));
        QVERIFY2(sendRounds(admin, roundsOfClass(12, 3), "CM2"), qPrintable(admin.problem()));
        QVERIFY2(sendRounds(admin, roundsOfClass(5, 4), "CM1"), qPrintable(admin.problem()));
        const ServerSettings settings{classServer.server->conninfo("prof", db), "CM2", {}};
        ServerConnection teacher(settings.conninfo);
        ClassRecord counted;
        QVERIFY2(readServerClassCounts(teacher, settings, counted), qPrintable(teacher.problem()));
        for (const PupilRounds& p : counted.pupils)
            QVERIFY2(p.counted, qPrintable(p.name));
        const ServerRounds rounds = readServerRounds(teacher, "CM2");
        QVERIFY(rounds.ok);
        const ClassRecord read = classOfRounds(rounds.rounds);
        compareFigures(counted, read);
        const PupilRounds first = counted.pupils.front();
        QCOMPARE(roundsRead(counted, {first}, Detail::Guesses).front().rounds,
                 read.pupils.front().rounds);

        ClassStamp before, after;
        QVERIFY(readClassStamp(teacher, "CM2", before));
        RoundRecord late = read.pupils.front().rounds.back();
        late.started = late.started.addSecs(3600);
        late.ended = late.ended.addSecs(3600);
        QVERIFY(sendRounds(admin, {late}, "CM2"));
        QVERIFY(readClassStamp(teacher, "CM2", after));
        QVERIFY(before != after);
        QCOMPARE(after.rows, before.rows + 1);
        QVERIFY(readServerClassCounts(teacher, settings, counted));
        QCOMPARE(counted.pupils.front().counted->rounds, first.counted->rounds + 1);
        database = db;
    }

    // Rounds erased (a pupil forgotten before a date) or changed by hand on
    // the server: what the server counted as they arrived is counted again,
    // and the figures are those of the rounds that remain.
    void theServerCountsAgainWhatIsErasedOrChanged() {
        QVERIFY(!database.isEmpty());
        const ServerSettings settings{classServer.server->conninfo("prof", database), "CM2", {}};
        ServerConnection teacher(settings.conninfo);
        const ServerRounds before = readServerRounds(teacher, "CM2");
        QVERIFY(before.ok);
        const QString pupil = classOfRounds(before.rounds).pupils.at(1).name;
        const QString failed = classServer.server->exec(
            {QStringLiteral("DELETE FROM quiltaro.rounds WHERE class_name = 'CM2' AND pupil = '%1'"
                            " AND started < '%2'")
                 .arg(pupil, lastDay.addDays(-30).toString(Qt::ISODate)),
             "UPDATE quiltaro.rounds SET score_after = score_before, started = started"
             " + interval '1 day', ended = ended + interval '1 day' WHERE arrival IN (SELECT"
             " arrival FROM quiltaro.rounds WHERE class_name = 'CM2' ORDER BY arrival LIMIT 40)"},
            "admin", database);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        QVERIFY(readServerRounds(teacher, "CM2").rounds.size() < before.rounds.size());
        compareOnServer(teacher, settings);
    }

    // A zone whose hours begin half an hour off the server's: the days are
    // grouped from the rounds themselves, in that zone.
    void aZoneHalfAnHourOffIsCountedFromItsRounds() {
        QVERIFY(!database.isEmpty());
        const TimeZone kolkata("Asia/Kolkata");
        const ServerSettings settings{classServer.server->conninfo("prof", database), "CM2", {}};
        ServerConnection teacher(settings.conninfo);
        // Two rounds of one server hour, either side of midnight there.
        const ServerRounds before = readServerRounds(teacher, "CM2");
        QVERIFY(before.ok && !before.rounds.empty());
        std::vector<RoundRecord> night;
        for (const QTime& at : {QTime(18, 10), QTime(18, 50)}) {
            RoundRecord r = before.rounds.front();
            r.started = QDateTime(lastDay.addDays(-17), at, QTimeZone::utc());
            r.ended = r.started.addSecs(60);
            night.push_back(r);
        }
        QCOMPARE(
            night[0].started.toLocalTime().date().daysTo(night[1].started.toLocalTime().date()), 1);
        ServerConnection admin(classServer.server->conninfo("admin", database));
        QVERIFY2(sendRounds(admin, night, "CM2"), qPrintable(admin.problem()));
        compareOnServer(teacher, settings);
    }

private:
    QString database;
};

QTEST_GUILESS_MAIN(CountsTest)
#include "test_counts.moc"
