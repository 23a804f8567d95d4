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

void add(DayCount& d, const RoundRecord& r) {
    const qint64 started = r.started.toMSecsSinceEpoch(), ended = r.ended.toMSecsSinceEpoch();
    if (d.played == 0) {
        d.firstStarted = started;
        d.lastEnded = ended;
    }
    ++d.played;
    d.found += r.ending == Ending::Won ? 1 : 0;
    d.tries += r.tries();
    d.outside += r.outsideAnswers();
    d.gaveUp += r.ending == Ending::GaveUp ? 1 : 0;
    const int change = r.scoreAfter - r.scoreBefore;
    d.pointsWon += std::max(0, change);
    d.pointsLost += std::max(0, -change);
    d.reached = std::max({d.reached, r.scoreBefore, r.scoreAfter});
    d.seconds += std::clamp<qint64>(r.started.secsTo(r.ended), 0, roundLongest);
    d.lastEnded = std::max(d.lastEnded, ended);
    d.firstStarted = std::min(d.firstStarted, started);
}

} // namespace

PupilCount tallyRounds(const std::vector<RoundRecord>& rounds) {
    PupilCount count;
    count.rounds = qint64(rounds.size());
    std::vector<const RoundRecord*> played;
    for (const RoundRecord& r : rounds)
        if (wasPlayed(r))
            played.push_back(&r);
    std::map<std::tuple<QDate, int, QString>, DayCount> days;
    std::map<std::pair<QDate, QString>, bool> games;
    std::vector<RecentStep> steps;
    steps.reserve(played.size());
    // Rounds come day by day, a game's one after the other: the group of
    // the round before is mostly the round's own, and is looked up only
    // when it changes (a school year's 150,000 rounds, in some 20 ms).
    std::map<std::optional<LevelRange>, QString,
             bool (*)(const std::optional<LevelRange>&, const std::optional<LevelRange>&)>
        levelNames([](const std::optional<LevelRange>& a, const std::optional<LevelRange>& b) {
            const auto key = [](const std::optional<LevelRange>& l) {
                return l ? std::pair(int(l->lowest), int(l->highest)) : std::pair(-1, -1);
            };
            return key(a) < key(b);
        });
    DayCount* group = nullptr;
    bool* won = nullptr;
    const RoundRecord* before = nullptr;
    for (size_t i = 0; i < played.size(); ++i) {
        const RoundRecord& r = *played[i];
        const QDate day = localDay(r.started);
        const int level = levelOf(r);
        auto named = levelNames.find(r.levels);
        if (named == levelNames.end())
            named = levelNames
                        .emplace(r.levels, r.levels ? QString::fromStdString(levelName(*r.levels))
                                                    : QString())
                        .first;
        if (!group || group->day != day || group->level != level || group->levels != named->second)
            group = &days[{day, level, named->second}];
        group->day = day;
        group->level = level;
        group->levels = named->second;
        add(*group, r);
        if (!before || localDay(before->started) != day || before->gameToken != r.gameToken)
            won = &games[{day, r.gameToken}];
        before = &r;
        *won = *won || r.scoreAfter >= 10;
        steps.push_back({day, level, r.scoreAfter - r.scoreBefore, r.outsideAnswers(),
                         r.ending == Ending::GaveUp});
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
