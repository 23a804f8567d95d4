// The periods a teacher looks at, at their edges (local midnight, a change
// of summer time, Monday, a Tuesday morning), and what the class's figures
// become over one: rates per round, time spent playing, the class mean, a
// trend only where there are weeks to compare.
#include "ClassSummary.h"
#include "ClassTesting.h"
#include "FigureLines.h"
#include "Period.h"

#include <QtTest>

#include <cstdlib>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

QDateTime local(int y, int m, int d, int h, int min, int s = 0) {
    return {QDate(y, m, d), QTime(h, min, s), Qt::LocalTime};
}

} // namespace

class PeriodsTest : public QObject {
    Q_OBJECT

private slots:
    void periodsStartAndEndAtLocalMidnight() {
        // Monday 30 November 2026 to Sunday 6 December, whichever day of it.
        for (int day = 30; day <= 36; ++day) {
            const QDate today = QDate(2026, 11, 30).addDays(day - 30);
            const Period week = Period::of(Period::Kind::ThisWeek, today);
            QCOMPARE(week.first, QDate(2026, 11, 30));
            QCOMPARE(week.last, QDate(2026, 12, 6));
        }
        const Period week = Period::of(Period::Kind::ThisWeek, QDate(2026, 12, 1));
        QVERIFY(week.contains(local(2026, 11, 30, 0, 0)));
        QVERIFY(!week.contains(local(2026, 11, 29, 23, 59, 59)));
        QVERIFY(week.contains(local(2026, 12, 6, 23, 59, 59)));
        QVERIFY(!week.contains(local(2026, 12, 7, 0, 0)));
        // Kept in UTC in the record, read as the local day it was played.
        QVERIFY(week.contains(QDateTime(QDate(2026, 11, 29), QTime(23, 30), Qt::UTC)));
        QCOMPARE(week.text(),
                 QString("cette semaine (du lundi 30 novembre 2026 au dimanche 6 décembre 2026)"));

        // On a Tuesday morning the last seven days still hold last week's
        // games, where "this week" holds Monday's only.
        const Period seven = Period::of(Period::Kind::LastSevenDays, QDate(2026, 12, 1));
        QCOMPARE(seven.first, QDate(2026, 11, 25));
        QVERIFY(seven.contains(local(2026, 11, 26, 10, 0)));
        QVERIFY(!week.contains(local(2026, 11, 26, 10, 0)));

        const Period month = Period::of(Period::Kind::ThisMonth, QDate(2027, 2, 14));
        QCOMPARE(month.first, QDate(2027, 2, 1));
        QCOMPARE(month.last, QDate(2027, 2, 28));
        const std::pair<QDate, QDate> terms[] = {{QDate(2026, 12, 8), QDate(2026, 9, 1)},
                                                 {QDate(2027, 2, 14), QDate(2027, 1, 1)},
                                                 {QDate(2027, 5, 3), QDate(2027, 4, 1)}};
        for (const auto& [today, start] : terms)
            QCOMPARE(Period::of(Period::Kind::SchoolTerm, today).first, start);
        QCOMPARE(Period::of(Period::Kind::SchoolTerm, QDate(2027, 2, 14)).last, QDate(2027, 3, 31));

        const Period everything = Period::of(Period::Kind::Everything, QDate(2026, 12, 1));
        QVERIFY(everything.contains(local(2001, 1, 1, 0, 0)));
        QCOMPARE(everything.fileWords(), QString("tout"));
        const Period two = Period::between(QDate(2026, 12, 6), QDate(2026, 11, 30));
        QCOMPARE(two.first, QDate(2026, 11, 30));
        QCOMPARE(two.fileWords(), QString("2026-11-30_2026-12-06"));
    }

    // The days of a change of summer time have 23 and 25 hours: each still
    // ends at its own midnight.
    void aChangeOfSummerTimeMovesNoEdge() {
        const Period spring = Period::between(QDate(2026, 3, 29), QDate(2026, 3, 29));
        QVERIFY(spring.contains(local(2026, 3, 29, 0, 30)));
        QVERIFY(spring.contains(local(2026, 3, 29, 23, 59, 59)));
        QVERIFY(!spring.contains(local(2026, 3, 30, 0, 0)));
        // 23:30 in Paris is 21:30 UTC that day.
        QVERIFY(spring.contains(QDateTime(QDate(2026, 3, 29), QTime(21, 30), Qt::UTC)));
        QVERIFY(!spring.contains(QDateTime(QDate(2026, 3, 29), QTime(22, 30), Qt::UTC)));
        const Period autumn = Period::between(QDate(2026, 10, 25), QDate(2026, 10, 25));
        QVERIFY(autumn.contains(local(2026, 10, 25, 23, 59, 59)));
        QVERIFY(autumn.contains(QDateTime(QDate(2026, 10, 25), QTime(22, 59), Qt::UTC)));
        QVERIFY(!autumn.contains(QDateTime(QDate(2026, 10, 25), QTime(23, 0), Qt::UTC)));
    }

    void daysAreReadAsTeachersWriteThem() {
        QCOMPARE(parseDay("2026-12-02"), QDate(2026, 12, 2));
        QCOMPARE(parseDay(" 02/12/2026 "), QDate(2026, 12, 2));
        QCOMPARE(parseDay("2/12/2026"), QDate(2026, 12, 2));
        QVERIFY(!parseDay("2026-13-02").isValid());
        QVERIFY(!parseDay("mardi").isValid());
        QVERIFY(!parseDay("").isValid());
    }

    // Rates per round beside the totals, the time spent playing (a round
    // left open over lunch counts ten minutes), and the mean of the pupils
    // who played in the period.
    void aPeriodsFiguresAndTheClassMean() {
        const QDateTime monday = local(2026, 11, 30, 9, 0);
        ClassRecord data;
        PupilRounds lea{"Léa",
                        {played("a", monday, 0, 2, 3, Ending::Won, true),
                         played("a", monday.addSecs(60), 2, 4, 4, Ending::Won),
                         played("a", monday.addSecs(120), 4, 3, 6, Ending::ProgramEnd, true),
                         played("b", monday.addDays(-10), 0, 0, 8, Ending::GaveUp)}};
        lea.rounds[2].ended = lea.rounds[2].started.addSecs(3 * 3600); // left open
        PupilRounds tom{"Tom", {played("c", monday.addDays(1), 0, 2, 2, Ending::Won)}};
        PupilRounds zoe{"Zoé", {played("d", monday.addDays(-20), 0, 2, 2, Ending::Won)}};
        data.pupils = {lea, tom, zoe};
        const Period week = Period::of(Period::Kind::ThisWeek, monday.date());
        const ClassSummary s = summarize(data, week, monday.addDays(2));
        const PupilSummary& l = s.pupils[0];
        QCOMPARE(l.counts.rounds, 3); // the round of ten days before is not in the week
        QCOMPARE(l.counts.games, 1);
        QCOMPARE(l.counts.outside, 2);
        QCOMPARE(l.counts.seconds, qint64(40 + 40 + roundLongest));
        QCOMPARE(l.counts.pointsWon, 4);
        QCOMPARE(l.counts.pointsLost, 1);
        QCOMPARE(l.counts.keptPerRound(), 1.0);
        QCOMPARE(l.counts.perRound(l.counts.outside), 2.0 / 3);
        // Zoé did not play this week: not in the mean.
        QCOMPARE(s.mean.pupils, 2);
        QCOMPARE(s.mean.rounds, 2.0);
        QCOMPARE(s.mean.keptPerRound, (1.0 + 2.0) / 2);
        QCOMPARE(s.total.rounds, 4);
        QCOMPARE(durationText(l.counts.seconds), QString("11 min"));
        QCOMPARE(durationText(3 * 3600 + 5 * 60), QString("3 h 05"));
        // The lines of the window and the report: the pupil, then the mean.
        const auto lines = figureLines(l, s.mean);
        QCOMPARE(lines[0].pupil, QString("3"));
        QCOMPARE(lines[4].pupil, QString("0,67 (2)"));
        // Two weeks played of the last four, and the arrow compares them,
        // whatever the period.
        QVERIFY(l.hasTrend());
        QVERIFY(trendText(l).startsWith("↗"));
        // One week played, no trend: a dash, not a steady arrow; and none
        // for a pupil who has not played for four weeks.
        const PupilSummary& t = s.pupils[1];
        QVERIFY(!t.hasTrend());
        QCOMPARE(trendText(t), QString("–"));
        QCOMPARE(figureLines(t, s.mean).back().pupil, QString("–"));
        QCOMPARE(trendText(summarize(data, Period{}, monday.addDays(30)).pupils[2]), QString("–"));
    }
};

int main(int argc, char** argv) {
    // The local days of a French school, summer time included.
    setenv("TZ", "Europe/Paris", 1);
    tzset();
    QCoreApplication app(argc, argv);
    PeriodsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_periods.moc"
