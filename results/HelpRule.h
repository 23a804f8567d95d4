#pragma once

#include "ClassRecord.h"

#include <QDateTime>
#include <QString>

#include <vector>

namespace quiltaro {

// Who needs the teacher's help, and why, in words a teacher reads at a
// glance. The rule looks at the points a pupil keeps, not at the rounds
// found: an answer outside the interval takes a point back, and a give-up
// takes them all, so a number found in ten tries may leave the pupil no
// further on.
struct HelpRule {
    int recentRounds = 30;      // the last rounds played that tell
    int fewestRounds = 10;      // fewer tell nothing yet
    double keptPerRound = 0.35; // points kept a round below which a pupil is stuck
    int stillWeeks = 3;         // weeks without a higher score, nor a game won
    int gamesBeforeWin = 5;     // games played without winning one
    int absentDays = 7;         // days without playing
};

struct HelpReason {
    enum class Kind { NeverPlayed, Absent, KeepsFewPoints, NeverWon, NotProgressing };
    Kind kind;
    QString shortText; // for the class list: "garde peu de points"
    QString text;      // the whole sentence, with its figures
};

struct HelpNeed {
    std::vector<HelpReason> reasons;
    // The level where the pupil loses the most points among the recent
    // rounds, by the score each round started at; -1 when none was lost.
    int losingLevel = -1;
    int daysAway = -1; // days since the last round played; -1 when never
    // Stuck somewhere (not merely away).
    bool needsHelp() const;
    bool has(HelpReason::Kind kind) const;
    // The reasons' short words, joined: what the class list shows.
    QString shortText() const;
};

// `now`: the end of the period looked at; the rounds after it are not read.
HelpNeed helpNeeded(const PupilRounds& pupil, const QDateTime& now, const HelpRule& rule = {});
// The same of rounds an engine counted: the rounds of the day of `now` count
// whole (a round can start after `now` that day only on a clock set ahead),
// and the recent rounds are the last recentRoundsCounted, whatever
// `rule.recentRounds` says.
HelpNeed helpNeeded(const PupilCount& count, const QDateTime& now, const HelpRule& rule = {});

} // namespace quiltaro
