#pragma once

#include "ClassRecord.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <array>
#include <vector>

namespace quiltaro {

// The figures a teacher reads about each pupil, and what the pupil's charts
// draw. Only rounds the pupil played count. Who needs help is HelpRule's.

// The three levels of the game, the kinds of number: whole numbers, tenths,
// hundredths. A round's is the one it was played at, as recorded; a round
// from before levels could be set, the one its score gave (tenths from 3
// points, hundredths from 7).
constexpr int levelCount = 3;
int levelOf(const RoundRecord& round);
QString levelName(int level);

struct LevelFigures {
    int played = 0; // rounds played at this level
    int found = 0;  // numbers found
    int tries = 0;  // every guess, those of rounds given up or left included
    // Tries per number found; negative when none was found.
    double triesPerFound() const { return found > 0 ? double(tries) / found : -1; }
};

struct PupilFigures {
    QString name;
    QDateTime lastPlayed; // the end of the last round played; invalid when none
    int gamesThisWeek = 0;
    int roundsThisWeek = 0;
    int roundsPlayed = 0;
    int highestScore = -1; // the highest score reached; -1 when nothing was played
    // The level the highest score leads to, at the levels set when it was
    // reached; -1 when nothing was played.
    int highestLevel = -1;
    std::array<LevelFigures, levelCount> levels;
    int outside = 0; // answers outside the interval
    int gaveUp = 0;  // rounds given up
    // The highest score reached in each of the last weeks, oldest first; -1
    // for a week without play.
    std::vector<int> weeks;
    // The last week played against the first one of `weeks`: above zero when
    // the pupil climbs higher.
    int trend() const;
};

constexpr int trendWeeks = 4;

// Whether weeks of highest scores (-1: not played) tell a trend: two of
// them played at least.
bool hasTrend(const std::vector<int>& weeks);
// The last week played against the first; 0 without a trend.
int trendOf(const std::vector<int>& weeks);

// `now` sets "this week" (from Monday) and the weeks of the trend.
PupilFigures figuresOf(const PupilRounds& pupil, const QDateTime& now);

// One point of a chart by date: a day, or the Monday of a week.
struct DatePoint {
    QDate date;
    std::array<LevelFigures, levelCount> levels;
    int outside = 0;
    int gaveUp = 0;
};
// What one point of a chart by date gathers. Long spans are drawn by weeks,
// so that a term's work stays readable, and spans of more than a year by
// months: a pupil who plays from one school year to the next would
// otherwise get a hundred weeks and more, too close to tell apart.
enum class ChartStep { Day, Week, Month };
constexpr int daysBeforeWeeks = 42;
constexpr int daysBeforeMonths = 366;
ChartStep chartStepOf(const std::vector<RoundRecord>& rounds);
// The date of the point a day falls in: the day itself, its week's Monday,
// or the first of its month.
QDate chartDate(const QDate& day, ChartStep step);
std::vector<DatePoint> byDate(const std::vector<RoundRecord>& rounds, ChartStep step);

// One game: the highest score it reached and the score it ended with.
struct GamePoint {
    QDateTime started;
    int highest = 0;
    int final = 0;
};
std::vector<GamePoint> gamesOf(const std::vector<RoundRecord>& rounds);

} // namespace quiltaro
