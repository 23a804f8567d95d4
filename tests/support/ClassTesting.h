#pragma once

// What the class's suites share: rounds of a pupil made to measure, and
// records made of them.
#include "RecordTesting.h"

namespace quiltaro::test {

inline RoundRecord named(RoundRecord r, const QString& pupil) {
    r.pupil = pupil;
    return r;
}

// A pupil's round at a given time: `tries` guesses, the last one right when
// found, the first one outside the interval when asked.
inline RoundRecord played(const QString& game, const QDateTime& at, int before, int after,
                          int tries, Ending ending, bool oneOutside = false) {
    RoundRecord r = round(game, 0, before, after, 0, 1000, 371, {}, ending);
    r.gameStarted = at, r.started = at, r.ended = at.addSecs(40);
    for (int i = 0; i < tries; ++i)
        r.guesses.push_back({"500", i == 0 && oneOutside ? Verdict::Outside : Verdict::TooHigh});
    if (ending == Ending::Won && tries > 0)
        r.guesses.back() = {"371", Verdict::Right};
    return r;
}

// A record at `path` made of these rounds, as a game would have written it.
inline void write(const QString& path, const std::vector<RoundRecord>& rounds) {
    Reports reports;
    RecordStore store(path, reports.report);
    QVERIFY(store.writeMany(rounds));
}

} // namespace quiltaro::test
