// Who needs help, and why: on generated classes of 26 with known strong,
// progressing, stuck, losing and lapsed pupils, on the pupils the teachers
// described (hundreds of answers outside and never above 4 points; never a
// game won), and at the rule's edges.
#include "ClassSummary.h"
#include "ClassTesting.h"
#include "HelpRule.h"
#include "SampleClass.h"

#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

// Friday 11 December 2026, after school: six weeks of school behind.
const QDateTime friday(QDate(2026, 12, 11), QTime(18, 0));

PupilRounds roundsOf(const GeneratedPupil& p) {
    return {p.name, p.rounds};
}

// A round of a stuck pupil's day: from `before` to `after` points, with
// `outside` answers outside the interval.
RoundRecord stuckRound(const QString& game, const QDateTime& at, int before, int after, int outside,
                       Ending ending) {
    RoundRecord r = played(game, at, before, after, 6, ending);
    for (int i = 0; i < outside; ++i)
        r.guesses[size_t(i)].verdict = Verdict::Outside;
    return r;
}

} // namespace

class HelpTest : public QObject {
    Q_OBJECT

private slots:
    // Three classes of 26, each pupil of a known kind: every stuck pupil
    // and every pupil who never wins is flagged, no strong pupil is, and a
    // pupil who stopped is marked away. Stuck at tenths is said as tenths,
    // although each give-up sent the pupil back to whole numbers.
    void generatedClassesAreReadRight() {
        for (std::uint64_t seed : {1, 2, 3}) {
            int progressingFlagged = 0, progressing = 0;
            for (const GeneratedPupil& p : generateClass(26, 6, friday.date(), seed)) {
                const HelpNeed need = helpNeeded(roundsOf(p), friday);
                const QString who = QStringLiteral("%1 (%2, graine %3) : %4")
                                        .arg(p.name, kindName(p.kind))
                                        .arg(seed)
                                        .arg(need.shortText());
                switch (p.kind) {
                case PupilKind::Strong:
                    QVERIFY2(need.reasons.empty(), qPrintable(who));
                    break;
                case PupilKind::Progressing:
                    ++progressing;
                    progressingFlagged += need.needsHelp() ? 1 : 0;
                    QVERIFY2(!need.has(HelpReason::Kind::Absent), qPrintable(who));
                    break;
                case PupilKind::StuckTenths:
                    QVERIFY2(need.needsHelp(), qPrintable(who));
                    QVERIFY2(need.losingLevel == 1, qPrintable(who));
                    QVERIFY2(need.shortText().contains("dixièmes"), qPrintable(who));
                    break;
                case PupilKind::NeverWins:
                    QVERIFY2(need.has(HelpReason::Kind::NeverWon), qPrintable(who));
                    break;
                case PupilKind::Lapsed:
                    QVERIFY2(need.has(HelpReason::Kind::Absent), qPrintable(who));
                    QVERIFY2(need.daysAway >= 14, qPrintable(who));
                    break;
                }
            }
            // Learning pupils have bad weeks; most of them are not flagged.
            QVERIFY2(progressingFlagged * 4 <= progressing,
                     qPrintable(QString("%1 of %2").arg(progressingFlagged).arg(progressing)));
        }
    }

    // Six weeks of a pupil who never goes above 4 points: each number found
    // in few tries, but answers outside the interval and give-ups take the
    // points back (336 and 54 of them). The old rule saw a round found in
    // ten tries as earning a point; this one sees the points kept.
    void aPupilWhoLosesWhatIsWonIsFlagged() {
        PupilRounds lucas{"Lucas M.", {}};
        const QDate first = friday.date().addDays(-39);
        int outside = 0, gaveUp = 0, game = 0;
        for (QDate day = first; day <= friday.date(); day = day.addDays(1)) {
            if (day.dayOfWeek() >= 6)
                continue;
            QDateTime t(day, QTime(10, 0));
            const QString token = QString::number(++game);
            const auto add = [&](int before, int after, int out, Ending ending) {
                lucas.rounds.push_back(stuckRound(token, t, before, after, out, ending));
                t = t.addSecs(90);
                outside += out;
                gaveUp += ending == Ending::GaveUp ? 1 : 0;
            };
            // 0 → 2 → 4, then answers outside and a give-up from tenths.
            add(0, 2, 0, Ending::Won);
            add(2, 4, 0, Ending::Won);
            for (int i = 0; i < 4; ++i)
                add(4, 3, 3, Ending::Won), add(3, 4, 0, Ending::Won);
            add(4, 0, game % 5 == 0 ? 2 : 0, Ending::GaveUp);
            if (game % 3 == 0)
                add(0, 0, 0, Ending::GaveUp);
        }
        QVERIFY(outside > 300 && gaveUp > 30);
        const HelpNeed need = helpNeeded(lucas, friday);
        QVERIFY2(need.needsHelp(), qPrintable(need.shortText()));
        QVERIFY(need.has(HelpReason::Kind::KeepsFewPoints));
        QVERIFY(need.has(HelpReason::Kind::NeverWon));
        QVERIFY(need.has(HelpReason::Kind::NotProgressing));
        QCOMPARE(need.losingLevel, 1); // tenths, not the whole numbers a give-up sends to
        const QString said = need.reasons.front().text;
        QVERIFY2(said.contains("dixièmes") && said.contains("perdus"), qPrintable(said));
    }

    // A pupil who keeps every point won, but closes each game at 8: never a
    // game won, and said so.
    void aPupilWhoNeverWinsIsFlagged() {
        PupilRounds noe{"Noé", {}};
        for (int g = 0; g < 6; ++g)
            for (int score = 0; score < 8; score += 2)
                noe.rounds.push_back(played(QString::number(g),
                                            friday.addDays(-g).addSecs(60 * score), score,
                                            score + 2, 4, Ending::Won));
        HelpNeed need = helpNeeded(noe, friday);
        QVERIFY(need.has(HelpReason::Kind::NeverWon));
        QVERIFY(!need.has(HelpReason::Kind::KeepsFewPoints));
        QVERIFY(need.reasons.front().text.contains("6 parties"));
        // One game won, and the pupil is not said to never win.
        noe.rounds.push_back(played("won", friday.addSecs(-60), 8, 10, 3, Ending::Won));
        QVERIFY(!helpNeeded(noe, friday).has(HelpReason::Kind::NeverWon));
        // Four games tell nothing yet.
        noe.rounds.resize(16);
        QVERIFY(!helpNeeded(noe, friday).has(HelpReason::Kind::NeverWon));
    }

    // The edges: too few rounds to tell, a week away to the day, the rounds
    // after the end of the period, a pupil who never played, and weeks of
    // the same score only after some weeks of play before them.
    void theRuleAtItsEdges() {
        PupilRounds ines{"Inès", {}};
        for (int i = 0; i < 9; ++i)
            ines.rounds.push_back(
                played("g", friday.addDays(-1).addSecs(60 * i), 0, 0, 12, Ending::GaveUp));
        QVERIFY(!helpNeeded(ines, friday).has(HelpReason::Kind::KeepsFewPoints));
        ines.rounds.push_back(
            played("g", friday.addDays(-1).addSecs(600), 0, 0, 12, Ending::GaveUp));
        QVERIFY(helpNeeded(ines, friday).has(HelpReason::Kind::KeepsFewPoints));
        // Nothing lost, nothing won: no level is named.
        QCOMPARE(helpNeeded(ines, friday).losingLevel, -1);

        // Away: from seven days on, counted in days of the calendar.
        const QDateTime lastRound = ines.rounds.back().ended;
        QVERIFY(!helpNeeded(ines, lastRound.addDays(6)).has(HelpReason::Kind::Absent));
        const HelpNeed away = helpNeeded(ines, lastRound.addDays(7));
        QVERIFY(away.has(HelpReason::Kind::Absent));
        QCOMPARE(away.daysAway, 7);
        // Judged at an earlier end, the rounds after it do not count.
        QVERIFY(helpNeeded(ines, friday.addDays(-3)).has(HelpReason::Kind::NeverPlayed));
        QVERIFY(!helpNeeded(ines, friday.addDays(-3)).needsHelp());

        // The same best score for three weeks, but nothing before them:
        // nothing to compare with.
        PupilRounds jade{"Jade", {}};
        for (int week = 0; week < 3; ++week)
            jade.rounds.push_back(
                played(QString::number(week), friday.addDays(-7 * week), 2, 4, 3, Ending::Won));
        QVERIFY(!helpNeeded(jade, friday).has(HelpReason::Kind::NotProgressing));
        jade.rounds.insert(jade.rounds.begin(),
                           played("before", friday.addDays(-28), 4, 5, 3, Ending::Won));
        QVERIFY(helpNeeded(jade, friday).has(HelpReason::Kind::NotProgressing));
        // A higher score this week, and the pupil progresses again.
        jade.rounds.push_back(played("now", friday.addSecs(-60), 5, 7, 3, Ending::Won));
        QVERIFY(!helpNeeded(jade, friday).has(HelpReason::Kind::NotProgressing));
    }
};

QTEST_GUILESS_MAIN(HelpTest)
#include "test_help.moc"
