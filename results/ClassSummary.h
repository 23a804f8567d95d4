#pragma once

#include "ClassRecord.h"
#include "HelpRule.h"
#include "Period.h"
#include "PupilFigures.h"

#include <QDateTime>

#include <array>
#include <vector>

namespace quiltaro {

// What the teacher reads of a class over a period, in the window and on
// paper alike: each pupil's figures, rates per round beside the totals, the
// time spent playing, who needs help and why, and the class mean.

struct PeriodCounts {
    int rounds = 0;
    int games = 0;
    int gamesWon = 0;
    qint64 seconds = 0; // spent playing, each round counted up to roundLongest
    int pointsWon = 0;
    int pointsLost = 0;
    int outside = 0;
    int gaveUp = 0;
    double perRound(int n) const { return rounds > 0 ? double(n) / rounds : 0; }
    double keptPerRound() const { return perRound(pointsWon - pointsLost); }
};

// A round left on the screen over lunch is not an hour of play.
constexpr qint64 roundLongest = 10 * 60;

PeriodCounts countsOf(const std::vector<RoundRecord>& rounds);
// The rounds of the period, whether read or counted.
PeriodCounts countsOf(const PupilRounds& pupil, const Period& period);

struct PupilSummary {
    QString name;
    PupilFigures figures; // of the rounds of the period
    PeriodCounts counts;  // the same
    HelpNeed help;        // from every round up to the period's end
    // The highest score of the last weeks up to the period's end, and
    // whether enough of them were played to tell a trend.
    std::vector<int> weeks;
    bool hasTrend() const;
    int trend() const;
};

// The mean of the pupils who played in the period, each counting once.
struct ClassMean {
    int pupils = 0;
    double rounds = 0;
    double games = 0;
    double minutes = 0;
    double keptPerRound = 0;
    double outsidePerRound = 0;
    double gaveUpPerRound = 0;
    double highestScore = 0;
    std::array<double, levelCount> triesPerFound{}; // -1: nobody found one there
};

struct ClassSummary {
    Period period;
    QDateTime end; // the period's end, or now if sooner
    std::vector<PupilSummary> pupils;
    ClassMean mean;
    PeriodCounts total;
    int needHelp() const;
    const PupilSummary* pupil(const QString& name) const;
};

ClassSummary summarize(const ClassRecord& data, const Period& period, const QDateTime& now,
                       const HelpRule& rule = {});

// "1 h 05", "12 min", "moins d'une minute".
QString durationText(qint64 seconds);

} // namespace quiltaro
