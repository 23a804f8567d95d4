#include "RoundCounts.h"

#include "Levels.h"

#include <algorithm>

namespace quiltaro {

namespace {

void addStep(RecentCount& c, const RecentStep& s, int sign) {
    const size_t level = size_t(std::clamp(s.level, 0, countedLevels - 1));
    const int up = std::max(0, s.change), down = std::max(0, -s.change);
    c.rounds += sign;
    c.won += sign * up;
    c.lost += sign * down;
    c.lostAt[level] += sign * down;
    c.keptAt[level] += sign * s.change;
    c.roundsAt[level] += sign;
    c.outsideAt[level] += sign * s.outside;
    c.gaveUpAt[level] += sign * (s.gaveUp ? 1 : 0);
}

} // namespace

std::vector<RecentCount> slideRecent(const std::vector<RecentStep>& steps) {
    std::vector<RecentCount> ends;
    RecentCount c;
    for (size_t i = 0; i < steps.size(); ++i) {
        addStep(c, steps[i], 1);
        if (i >= size_t(recentRoundsCounted))
            addStep(c, steps[i - recentRoundsCounted], -1);
        if (i + 1 == steps.size() || steps[i + 1].day != steps[i].day) {
            c.day = steps[i].day;
            ends.push_back(c);
        }
    }
    return ends;
}

bool kindCountedInSql(const QString& kind) {
    for (NumberKind k : {NumberKind::Whole, NumberKind::Tenths, NumberKind::Hundredths})
        if (kind == QLatin1String(kindName(k)))
            return true;
    return kind.isEmpty() || !parseKind(kind.toStdString());
}

} // namespace quiltaro
