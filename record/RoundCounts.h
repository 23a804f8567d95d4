#pragma once

#include <QDate>
#include <QString>

#include <array>
#include <map>
#include <vector>

namespace quiltaro {

// What the teacher's figures are made of: each pupil's played rounds grouped
// by local day, level and levels set, the games played each day, and the
// last rounds played up to the end of each day, which is all the help rule
// needs of their order. The class's PostgreSQL server counts them as rounds
// arrive (server/ServerTally); a record's rounds are read as figures and
// counted the same way in C++ (record/RecordCounting), SQLite being slower
// at grouping them than at reading them.

// Who a count belongs to. Rounds are counted by this key alone, so that a
// pupil's identity is said in one place.
using PupilKey = QString;

constexpr int countedLevels = 3;
// How many of the last rounds played tell whether a pupil keeps points.
constexpr int recentRoundsCounted = 30;

// The played rounds of one day, at one level (0: whole numbers, 1: tenths,
// 2: hundredths), under one setting of the levels.
struct DayCount {
    QDate day; // the local day the rounds started
    int level = 0;
    QString levels; // the levels set, by name; empty before levels
    int played = 0;
    int found = 0;
    int tries = 0;
    int outside = 0;
    int gaveUp = 0;
    int pointsWon = 0;
    int pointsLost = 0;
    int reached = -1;        // the highest score reached
    qint64 seconds = 0;      // each round up to ten minutes
    qint64 lastEnded = 0;    // ms since the epoch
    qint64 firstStarted = 0; // ms since the epoch
    bool operator==(const DayCount&) const = default;
};

// One game played on one day, and whether a round of it that day reached
// ten points.
struct GameDay {
    QString game;
    QDate day;
    bool won = false;
    bool operator==(const GameDay&) const = default;
};

// The last rounds played (up to recentRoundsCounted) as they stood at the
// end of a day played: the points won and lost, and by level the points
// lost, those kept, the rounds, the answers outside and the give-ups.
struct RecentCount {
    QDate day;
    int rounds = 0;
    int won = 0;
    int lost = 0;
    std::array<int, countedLevels> lostAt{}, keptAt{}, roundsAt{}, outsideAt{}, gaveUpAt{};
    bool operator==(const RecentCount&) const = default;
};

// One played round as the sums over the last rounds need it.
struct RecentStep {
    QDate day; // the local day it started
    int level = 0;
    int change = 0; // the score after less the score before
    int outside = 0;
    bool gaveUp = false;
};

// The sums over the last recentRoundsCounted steps, as they stand after each
// day's last step; `steps` in the order played. Sliding them costs an engine
// a window aggregate a sum (some 30 ms each over a class's school year on
// PostgreSQL, and 18 sums), where here it is two additions a step.
std::vector<RecentCount> slideRecent(const std::vector<RecentStep>& steps);

struct PupilCount {
    qint64 rounds = 0;               // every round, played or only shown
    std::vector<DayCount> days;      // by day
    std::vector<GameDay> games;      // by day
    std::vector<RecentCount> recent; // by day
    bool operator==(const PupilCount&) const = default;
};

using CountsByPupil = std::map<PupilKey, PupilCount>;

// Whether the level SQL computes from a kind's name is the one a reader
// gives it: the names the game writes, and names no reader knows. A class
// holding another spelling that a reader still knows is read round by round.
bool kindCountedInSql(const QString& kind);

} // namespace quiltaro
