#include "CountedFigures.h"

#include "Levels.h"

#include <QSet>

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <tuple>

namespace quiltaro {

namespace {

QDate mondayOf(const QDate& day) {
    return day.addDays(1 - day.dayOfWeek());
}

// The local day a round started, as the engines group it. The readers make
// times at the local offset already; asking Qt again costs microseconds a
// round.
QDate localDay(const QDateTime& t) {
    return t.timeSpec() == Qt::OffsetFromUTC || t.timeSpec() == Qt::LocalTime
               ? t.date()
               : t.toLocalTime().date();
}

void add(DayCount& d, const CountedRound& r) {
    if (d.played == 0) {
        d.firstStarted = r.started;
        d.lastEnded = r.ended;
    }
    ++d.played;
    d.found += r.won ? 1 : 0;
    d.tries += r.tries;
    d.outside += r.outside;
    d.gaveUp += r.gaveUp ? 1 : 0;
    const int change = r.scoreAfter - r.scoreBefore;
    d.pointsWon += std::max(0, change);
    d.pointsLost += std::max(0, -change);
    d.reached = std::max({d.reached, r.scoreBefore, r.scoreAfter});
    // As QDateTime::secsTo: whole seconds, towards zero.
    d.seconds += std::clamp<qint64>((r.ended - r.started) / 1000, 0, roundLongest);
    d.lastEnded = std::max(d.lastEnded, r.ended);
    d.firstStarted = std::min(d.firstStarted, r.started);
}

// The levels' names, made once for each setting met.
class LevelNames {
public:
    const QString& of(const std::optional<LevelRange>& levels) {
        const std::pair<int, int> key =
            levels ? std::pair(int(levels->lowest), int(levels->highest)) : std::pair(-1, -1);
        auto it = names_.find(key);
        if (it == names_.end())
            it =
                names_.emplace(key, levels ? QString::fromStdString(levelName(*levels)) : QString())
                    .first;
        return it->second;
    }

private:
    std::map<std::pair<int, int>, QString> names_;
};

} // namespace

std::vector<CountedRound> countedRounds(const std::vector<RoundRecord>& rounds) {
    std::vector<CountedRound> counted;
    counted.reserve(rounds.size());
    LevelNames levels;
    for (const RoundRecord& r : rounds)
        counted.push_back({localDay(r.started), r.started.toMSecsSinceEpoch(),
                           r.ended.toMSecsSinceEpoch(), r.scoreBefore, r.scoreAfter, r.tries(),
                           r.outsideAnswers(), levelOf(r), r.ending == Ending::Won,
                           r.ending == Ending::GaveUp, r.gameToken, levels.of(r.levels)});
    return counted;
}

PupilCount tallyRounds(const std::vector<RoundRecord>& rounds) {
    return tallyCounted(countedRounds(rounds));
}

PupilCount tallyCounted(const std::vector<CountedRound>& rounds) {
    PupilCount count;
    count.rounds = qint64(rounds.size());
    std::map<std::tuple<QDate, int, QString>, DayCount> days;
    std::map<std::pair<QDate, QString>, bool> games;
    std::vector<RecentStep> steps;
    steps.reserve(rounds.size());
    // Rounds come day by day, a game's one after the other: the group of
    // the round before is mostly the round's own, and is looked up only
    // when it changes.
    DayCount* group = nullptr;
    bool* won = nullptr;
    const CountedRound* before = nullptr;
    for (const CountedRound& r : rounds) {
        if (!r.played())
            continue;
        if (!group || group->day != r.day || group->level != r.level || group->levels != r.levels)
            group = &days[{r.day, r.level, r.levels}];
        group->day = r.day;
        group->level = r.level;
        group->levels = r.levels;
        add(*group, r);
        if (!before || before->day != r.day || before->game != r.game)
            won = &games[{r.day, r.game}];
        before = &r;
        *won = *won || r.scoreAfter >= 10;
        steps.push_back({r.day, r.level, r.scoreAfter - r.scoreBefore, r.outside, r.gaveUp});
    }
    count.recent = slideRecent(steps);
    for (auto& [key, d] : days)
        count.days.push_back(std::move(d));
    for (const auto& [key, won] : games)
        count.games.push_back({key.second, key.first, won});
    putInOrder(count);
    return count;
}

void putInOrder(PupilCount& count) {
    std::sort(count.days.begin(), count.days.end(), [](const DayCount& a, const DayCount& b) {
        return std::tie(a.day, a.firstStarted, a.level, a.levels) <
               std::tie(b.day, b.firstStarted, b.level, b.levels);
    });
    std::sort(count.games.begin(), count.games.end(), [](const GameDay& a, const GameDay& b) {
        return std::tie(a.day, a.game) < std::tie(b.day, b.game);
    });
    std::sort(count.recent.begin(), count.recent.end(),
              [](const RecentCount& a, const RecentCount& b) { return a.day < b.day; });
}

PupilFigures figuresOf(const QString& name, const PupilCount& count, const Period& period,
                       const QDateTime& now) {
    PupilFigures f;
    f.name = name;
    const QDate thisMonday = mondayOf(now.date());
    const auto thisWeek = [&](const QDate& day) {
        return day >= thisMonday && day < thisMonday.addDays(7);
    };
    f.weeks.assign(trendWeeks, -1);
    qint64 lastEnded = std::numeric_limits<qint64>::min();
    for (const DayCount& d : count.days) {
        if (!period.containsDay(d.day))
            continue;
        f.roundsPlayed += d.played;
        lastEnded = std::max(lastEnded, d.lastEnded);
        if (d.reached > f.highestScore) {
            f.highestScore = d.reached;
            f.highestLevel = int(kindPlayed(std::min(d.reached, 10),
                                            levelsFromName(d.levels).value_or(LevelRange{})));
        }
        LevelFigures& level = f.levels[size_t(d.level)];
        level.played += d.played;
        level.found += d.found;
        level.tries += d.tries;
        f.outside += d.outside;
        f.gaveUp += d.gaveUp;
        if (thisWeek(d.day))
            f.roundsThisWeek += d.played;
        const qint64 weeksAgo = mondayOf(d.day).daysTo(thisMonday) / 7;
        if (weeksAgo >= 0 && weeksAgo < trendWeeks) {
            int& week = f.weeks[size_t(trendWeeks - 1 - weeksAgo)];
            week = std::max(week, d.reached);
        }
    }
    if (f.roundsPlayed > 0)
        f.lastPlayed = QDateTime::fromMSecsSinceEpoch(lastEnded);
    QSet<QString> games;
    for (const GameDay& g : count.games)
        if (period.containsDay(g.day) && thisWeek(g.day))
            games.insert(g.game);
    f.gamesThisWeek = int(games.size());
    return f;
}

PeriodCounts countsOf(const PupilCount& count, const Period& period) {
    PeriodCounts c;
    for (const DayCount& d : count.days) {
        if (!period.containsDay(d.day))
            continue;
        c.rounds += d.played;
        c.seconds += d.seconds;
        c.pointsWon += d.pointsWon;
        c.pointsLost += d.pointsLost;
        c.outside += d.outside;
        c.gaveUp += d.gaveUp;
    }
    QSet<QString> games, won;
    for (const GameDay& g : count.games)
        if (period.containsDay(g.day)) {
            games.insert(g.game);
            if (g.won)
                won.insert(g.game);
        }
    c.games = int(games.size());
    c.gamesWon = int(won.size());
    return c;
}

} // namespace quiltaro
