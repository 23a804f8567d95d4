#pragma once

#include "ClassSummary.h"
#include "RecordCounting.h"
#include "RoundCounts.h"

#include <QDateTime>

#include <vector>

namespace quiltaro {

// The figures of the class table made of counted rounds (RoundCounts),
// whichever engine counted them, exactly as figuresOf and countsOf make
// them of the rounds themselves.

// The rounds counted here, as the engines count them: for the rounds read
// round by round (a damaged record, the teacher's tests), so that the
// window makes every figure one way.
PupilCount tallyRounds(const std::vector<RoundRecord>& rounds);
// The same of rounds read as numbers (RecordCounting), in the order played.
PupilCount tallyCounted(const std::vector<CountedRound>& rounds);
// The rounds as those numbers.
std::vector<CountedRound> countedRounds(const std::vector<RoundRecord>& rounds);

// The counts in the order the figures read them: days by day and first
// round, games and recent rounds by day.
void putInOrder(PupilCount& count);

// The figures of the rounds counted within `period`; `now` sets "this week"
// and the weeks of the trend.
PupilFigures figuresOf(const QString& name, const PupilCount& count, const Period& period,
                       const QDateTime& now);
PeriodCounts countsOf(const PupilCount& count, const Period& period);

} // namespace quiltaro
