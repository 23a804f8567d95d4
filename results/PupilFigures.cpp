#include "PupilFigures.h"

#include "Judging.h"

#include <QHash>

#include <algorithm>
#include <map>
#include <set>

namespace quiltaro {

namespace {

QDate mondayOf(const QDate& day) {
    return day.addDays(1 - day.dayOfWeek());
}

void count(std::array<LevelFigures, levelCount>& levels, const RoundRecord& r) {
    LevelFigures& level = levels[levelOf(r)];
    ++level.played;
    level.tries += r.tries();
    if (r.ending == Ending::Won)
        ++level.found;
}

} // namespace

int levelOf(const RoundRecord& round) {
    return int(round.numberKind());
}

QString levelName(int level) {
    switch (level) {
    case 0:
        return QStringLiteral("Nombres entiers");
    case 1:
        return QStringLiteral("Dixièmes");
    case 2:
        return QStringLiteral("Centièmes");
    }
    return QString();
}

bool hasTrend(const std::vector<int>& weeks) {
    return std::count_if(weeks.begin(), weeks.end(), [](int w) { return w >= 0; }) >= 2;
}

int trendOf(const std::vector<int>& weeks) {
    int first = -1, last = -1;
    for (int w : weeks)
        if (w >= 0) {
            if (first < 0)
                first = w;
            last = w;
        }
    return hasTrend(weeks) ? last - first : 0;
}

int PupilFigures::trend() const {
    return trendOf(weeks);
}

PupilFigures figuresOf(const PupilRounds& pupil, const QDateTime& now) {
    PupilFigures f;
    f.name = pupil.name;
    const QDate thisMonday = mondayOf(now.date());
    f.weeks.assign(trendWeeks, -1);
    std::set<QString> gamesThisWeek;
    for (const RoundRecord& r : pupil.rounds) {
        if (!wasPlayed(r))
            continue;
        ++f.roundsPlayed;
        if (!f.lastPlayed.isValid() || r.ended > f.lastPlayed)
            f.lastPlayed = r.ended;
        const int reached = std::max(r.scoreBefore, r.scoreAfter);
        if (reached > f.highestScore) {
            f.highestScore = reached;
            f.highestLevel =
                int(kindPlayed(std::min(reached, 10), r.levels.value_or(LevelRange{})));
        }
        count(f.levels, r);
        f.outside += r.outsideAnswers();
        if (r.ending == Ending::GaveUp)
            ++f.gaveUp;
        const QDate day = r.started.date();
        if (day >= thisMonday && day < thisMonday.addDays(7)) {
            ++f.roundsThisWeek;
            gamesThisWeek.insert(r.gameToken);
        }
        const qint64 weeksAgo = mondayOf(day).daysTo(thisMonday) / 7;
        if (weeksAgo >= 0 && weeksAgo < trendWeeks) {
            int& week = f.weeks[size_t(trendWeeks - 1 - weeksAgo)];
            week = std::max(week, reached);
        }
    }
    f.gamesThisWeek = int(gamesThisWeek.size());

    return f;
}

ChartStep chartStepOf(const std::vector<RoundRecord>& rounds) {
    QDate first, last;
    for (const RoundRecord& r : rounds)
        if (wasPlayed(r)) {
            const QDate day = r.started.date();
            first = first.isValid() ? std::min(first, day) : day;
            last = last.isValid() ? std::max(last, day) : day;
        }
    const qint64 days = first.isValid() ? first.daysTo(last) : 0;
    return days > daysBeforeMonths  ? ChartStep::Month
           : days > daysBeforeWeeks ? ChartStep::Week
                                    : ChartStep::Day;
}

QDate chartDate(const QDate& day, ChartStep step) {
    switch (step) {
    case ChartStep::Week:
        return mondayOf(day);
    case ChartStep::Month:
        return QDate(day.year(), day.month(), 1);
    case ChartStep::Day:
        break;
    }
    return day;
}

std::vector<DatePoint> byDate(const std::vector<RoundRecord>& rounds, ChartStep step) {
    std::map<QDate, DatePoint> points;
    for (const RoundRecord& r : rounds) {
        if (!wasPlayed(r))
            continue;
        const QDate day = chartDate(r.started.date(), step);
        DatePoint& p = points[day];
        p.date = day;
        count(p.levels, r);
        p.outside += r.outsideAnswers();
        if (r.ending == Ending::GaveUp)
            ++p.gaveUp;
    }
    std::vector<DatePoint> result;
    for (auto& [day, p] : points)
        result.push_back(p);
    return result;
}

std::vector<GamePoint> gamesOf(const std::vector<RoundRecord>& rounds) {
    std::vector<GamePoint> games;
    // Hashed: ten thousand games of one pupil took fourteen comparisons of
    // their tokens a round in a tree. A game's rounds mostly follow one
    // another, so the hash is asked only when the game changes: once a
    // round, it cost a teacher's window 20 to 30 ms on 100,000 rounds. Two
    // copies playing at once under one login interleave their games; the
    // hash finds each again.
    QHash<QString, size_t> index;
    const QString* lastToken = nullptr;
    size_t last = 0;
    for (const RoundRecord& r : rounds) {
        if (!wasPlayed(r))
            continue;
        if (!lastToken || r.gameToken != *lastToken) {
            auto found = index.find(r.gameToken);
            if (found == index.end()) {
                found = index.insert(r.gameToken, games.size());
                games.push_back({r.gameStarted.isValid() ? r.gameStarted : r.started, r.scoreBefore,
                                 r.scoreAfter});
            }
            last = *found;
            lastToken = &r.gameToken;
        }
        GamePoint& g = games[last];
        g.highest = std::max({g.highest, r.scoreBefore, r.scoreAfter});
        g.final = r.scoreAfter;
    }
    std::stable_sort(games.begin(), games.end(),
                     [](const GamePoint& a, const GamePoint& b) { return a.started < b.started; });
    return games;
}

} // namespace quiltaro
