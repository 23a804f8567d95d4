#include "ClassSummary.h"

#include "CountedFigures.h"

#include <QSet>

#include <algorithm>

namespace quiltaro {

namespace {

PupilSummary summaryOf(const PupilRounds& pupil, const Period& period, const QDateTime& end,
                       const HelpRule& rule) {
    PupilSummary s;
    s.name = pupil.name;
    // Rounds read one by one are counted here as the engines count them.
    const PupilCount tallied = pupil.counted ? PupilCount{} : tallyRounds(pupil.rounds);
    const PupilCount& count = pupil.counted ? *pupil.counted : tallied;
    s.figures = figuresOf(pupil.name, count, period, end);
    s.counts = countsOf(count, period);
    // The rounds, where they were read, tell the help rule to the moment.
    s.help = pupil.rounds.empty() && pupil.counted ? helpNeeded(count, end, rule)
                                                   : helpNeeded(pupil, end, rule);
    s.weeks = figuresOf(pupil.name, count, Period{}, end).weeks;
    return s;
}

ClassMean meanOf(const std::vector<PupilSummary>& pupils) {
    ClassMean m;
    std::array<int, levelCount> foundBy{};
    for (const PupilSummary& p : pupils) {
        if (p.counts.rounds == 0)
            continue;
        ++m.pupils;
        m.rounds += p.counts.rounds;
        m.games += p.counts.games;
        m.minutes += double(p.counts.seconds) / 60;
        m.keptPerRound += p.counts.keptPerRound();
        m.outsidePerRound += p.counts.perRound(p.counts.outside);
        m.gaveUpPerRound += p.counts.perRound(p.counts.gaveUp);
        m.highestScore += std::max(0, p.figures.highestScore);
        for (size_t level = 0; level < levelCount; ++level)
            if (p.figures.levels[level].found > 0) {
                m.triesPerFound[level] += p.figures.levels[level].triesPerFound();
                ++foundBy[level];
            }
    }
    if (m.pupils == 0)
        return m;
    for (double* v : {&m.rounds, &m.games, &m.minutes, &m.keptPerRound, &m.outsidePerRound,
                      &m.gaveUpPerRound, &m.highestScore})
        *v /= m.pupils;
    for (size_t level = 0; level < levelCount; ++level)
        m.triesPerFound[level] = foundBy[level] > 0 ? m.triesPerFound[level] / foundBy[level] : -1;
    return m;
}

} // namespace

PeriodCounts countsOf(const std::vector<RoundRecord>& rounds) {
    PeriodCounts c;
    QSet<QString> games, won;
    for (const RoundRecord& r : rounds) {
        if (!wasPlayed(r))
            continue;
        ++c.rounds;
        games.insert(r.gameToken);
        if (r.scoreAfter >= 10)
            won.insert(r.gameToken);
        c.seconds += std::clamp<qint64>(r.started.secsTo(r.ended), 0, roundLongest);
        const int change = r.scoreAfter - r.scoreBefore;
        (change > 0 ? c.pointsWon : c.pointsLost) += std::abs(change);
        c.outside += r.outsideAnswers();
        c.gaveUp += r.ending == Ending::GaveUp ? 1 : 0;
    }
    c.games = int(games.size());
    c.gamesWon = int(won.size());
    return c;
}

PeriodCounts countsOf(const PupilRounds& pupil, const Period& period) {
    return pupil.counted ? countsOf(*pupil.counted, period)
                         : countsOf(inPeriod(pupil, period).rounds);
}

bool PupilSummary::hasTrend() const {
    return quiltaro::hasTrend(weeks);
}

int PupilSummary::trend() const {
    return trendOf(weeks);
}

int ClassSummary::needHelp() const {
    return int(std::count_if(pupils.begin(), pupils.end(),
                             [](const PupilSummary& p) { return p.help.needsHelp(); }));
}

const PupilSummary* ClassSummary::pupil(const QString& name) const {
    for (const PupilSummary& p : pupils)
        if (p.name == name)
            return &p;
    return nullptr;
}

ClassSummary summarize(const ClassRecord& data, const Period& period, const QDateTime& now,
                       const HelpRule& rule) {
    ClassSummary s;
    s.period = period;
    s.end = now;
    if (period.last.isValid())
        s.end = std::min(now, period.last.addDays(1).startOfDay().addMSecs(-1));
    for (const PupilRounds& p : data.pupils) {
        s.pupils.push_back(summaryOf(p, period, s.end, rule));
        const PeriodCounts& c = s.pupils.back().counts;
        for (auto [to, from] : {std::pair{&s.total.rounds, c.rounds},
                                {&s.total.games, c.games},
                                {&s.total.gamesWon, c.gamesWon},
                                {&s.total.outside, c.outside},
                                {&s.total.gaveUp, c.gaveUp},
                                {&s.total.pointsWon, c.pointsWon},
                                {&s.total.pointsLost, c.pointsLost}})
            *to += from;
        s.total.seconds += c.seconds;
    }
    s.mean = meanOf(s.pupils);
    return s;
}

QString durationText(qint64 seconds) {
    const qint64 minutes = (seconds + 30) / 60;
    if (minutes < 1)
        return seconds > 0 ? QStringLiteral("moins d'une minute") : QStringLiteral("0 min");
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    return QStringLiteral("%1 h %2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace quiltaro
