#include "HelpRule.h"

#include "PupilFigures.h"

#include <QLocale>
#include <QSet>

#include <algorithm>
#include <array>
#include <map>

namespace quiltaro {

namespace {

const QLocale french(QLocale::French, QLocale::France);

QString plural(int n, const QString& one, const QString& many) {
    return QStringLiteral("%1 %2").arg(n).arg(n > 1 ? many : one);
}

QDate mondayOf(const QDate& day) {
    return day.addDays(1 - day.dayOfWeek());
}

// Where points go: the answers outside and the give-ups of the recent
// rounds, at the level each round was played at.
RecentCount lossesOf(const std::vector<const RoundRecord*>& recent) {
    RecentCount l;
    l.rounds = int(recent.size());
    for (const RoundRecord* r : recent) {
        const size_t level = size_t(levelOf(*r));
        const int change = r->scoreAfter - r->scoreBefore;
        if (change > 0)
            l.won += change;
        else
            l.lost -= change;
        l.lostAt[level] += std::max(0, -change);
        l.keptAt[level] += change;
        ++l.roundsAt[level];
        l.outsideAt[level] += r->outsideAnswers();
        l.gaveUpAt[level] += r->ending == Ending::GaveUp ? 1 : 0;
    }
    return l;
}

// The level whose rounds keep the fewest points each, among those where
// points were lost: a give-up at the tenths sends the pupil back to whole
// numbers, whose rounds then earn points again; the tenths are where the
// pupil fails. A level played a couple of times by chance does not count.
int losingLevel(const RecentCount& l) {
    int worst = -1;
    double worstRate = 0;
    for (size_t level = 0; level < levelCount; ++level) {
        if (l.lostAt[level] == 0 || l.roundsAt[level] < 3)
            continue;
        const double rate = double(l.keptAt[level]) / l.roundsAt[level];
        if (worst < 0 || rate < worstRate) {
            worst = int(level);
            worstRate = rate;
        }
    }
    return worst;
}

HelpReason keepsFewPoints(const RecentCount& l, int rounds, int level) {
    QString text = QStringLiteral("garde peu de points : %1 gagnés, %2 perdus sur ses %3 "
                                  "dernières manches")
                       .arg(l.won)
                       .arg(l.lost)
                       .arg(rounds);
    if (level >= 0)
        text += QStringLiteral(" ; perd ses points aux %1 (%2, %3)")
                    .arg(levelName(level).toLower(),
                         plural(l.outsideAt[size_t(level)], QStringLiteral("réponse en dehors"),
                                QStringLiteral("réponses en dehors")),
                         plural(l.gaveUpAt[size_t(level)], QStringLiteral("abandon"),
                                QStringLiteral("abandons")));
    return {HelpReason::Kind::KeepsFewPoints,
            level >= 0 ? QStringLiteral("perd aux %1").arg(levelName(level).toLower())
                       : QStringLiteral("garde peu de points"),
            text};
}

// No higher score in the last weeks than before them, nor a game won: the
// weeks counted are calendar weeks up to `now`, played or not.
std::optional<HelpReason> notProgressing(const std::map<QDate, int>& bestByWeek,
                                         const QDateTime& now, int stillWeeks) {
    const QDate since = mondayOf(now.toLocalTime().date()).addDays(-7 * (stillWeeks - 1));
    int before = -1, lately = -1, weeksPlayed = 0;
    for (const auto& [monday, best] : bestByWeek) {
        if (monday < since) {
            before = std::max(before, best);
        } else {
            lately = std::max(lately, best);
            ++weeksPlayed;
        }
    }
    if (before < 0 || weeksPlayed < 2 || lately > before || lately >= 10)
        return std::nullopt;
    return HelpReason{HelpReason::Kind::NotProgressing, QStringLiteral("stagne"),
                      QStringLiteral("ne progresse plus depuis %1 semaines : jamais plus de %2 "
                                     "points, comme avant")
                          .arg(stillWeeks)
                          .arg(lately)};
}

// What the rule looks at, whether read from the rounds or counted.
struct HelpFacts {
    QDateTime last;             // the end of the last round played; invalid when none
    RecentCount recent;         // the last rounds played
    int games = 0;              // games played
    bool won = false;           // one of them reached ten points
    std::map<QDate, int> weeks; // the highest score of each week played, by its Monday
};

HelpNeed helpOf(const HelpFacts& facts, const QDateTime& now, const HelpRule& rule) {
    HelpNeed need;
    if (!facts.last.isValid()) {
        need.reasons.push_back({HelpReason::Kind::NeverPlayed, QStringLiteral("n'a pas joué"),
                                QStringLiteral("n'a joué aucune manche")});
        return need;
    }
    need.daysAway =
        int(std::max<qint64>(0, facts.last.toLocalTime().date().daysTo(now.toLocalTime().date())));
    if (need.daysAway >= rule.absentDays)
        need.reasons.push_back({HelpReason::Kind::Absent,
                                QStringLiteral("absent %1 j").arg(need.daysAway),
                                QStringLiteral("n'a pas joué depuis %1 jours").arg(need.daysAway)});
    const RecentCount& losses = facts.recent;
    need.losingLevel = losingLevel(losses);
    if (losses.rounds >= rule.fewestRounds &&
        double(losses.won - losses.lost) < rule.keptPerRound * double(losses.rounds))
        need.reasons.push_back(keepsFewPoints(losses, losses.rounds, need.losingLevel));
    if (!facts.won && facts.games >= rule.gamesBeforeWin)
        need.reasons.push_back(
            {HelpReason::Kind::NeverWon, QStringLiteral("jamais gagné"),
             QStringLiteral("n'a gagné aucune de ses %1 parties").arg(facts.games)});
    if (auto still = notProgressing(facts.weeks, now, rule.stillWeeks))
        need.reasons.push_back(*still);
    // The level is said whatever flagged the pupil.
    if (need.needsHelp() && need.losingLevel >= 0 && !need.has(HelpReason::Kind::KeepsFewPoints)) {
        HelpReason& first = need.reasons.back();
        const QString level = levelName(need.losingLevel).toLower();
        first.shortText += QStringLiteral(" (%1)").arg(level);
        first.text += QStringLiteral(" ; perd ses points aux %1").arg(level);
    }
    return need;
}

} // namespace

bool HelpNeed::needsHelp() const {
    return std::any_of(reasons.begin(), reasons.end(), [](const HelpReason& r) {
        return r.kind != HelpReason::Kind::Absent && r.kind != HelpReason::Kind::NeverPlayed;
    });
}

bool HelpNeed::has(HelpReason::Kind kind) const {
    return std::any_of(reasons.begin(), reasons.end(),
                       [kind](const HelpReason& r) { return r.kind == kind; });
}

QString HelpNeed::shortText() const {
    QStringList words;
    for (const HelpReason& r : reasons)
        words << r.shortText;
    return words.join(QStringLiteral(" ; "));
}

HelpNeed helpNeeded(const PupilRounds& pupil, const QDateTime& now, const HelpRule& rule) {
    HelpFacts facts;
    std::vector<const RoundRecord*> played;
    QSet<QString> games;
    for (const RoundRecord& r : pupil.rounds) {
        if (!wasPlayed(r) || r.started > now)
            continue;
        played.push_back(&r);
        games.insert(r.gameToken);
        facts.won = facts.won || r.scoreAfter >= 10;
        facts.last = std::max(facts.last, r.ended);
        int& best = facts.weeks[mondayOf(r.started.toLocalTime().date())];
        best = std::max({best, r.scoreBefore, r.scoreAfter});
    }
    facts.games = int(games.size());
    const size_t from =
        played.size() > size_t(rule.recentRounds) ? played.size() - rule.recentRounds : 0;
    facts.recent = lossesOf({played.begin() + std::ptrdiff_t(from), played.end()});
    return helpOf(facts, now, rule);
}

HelpNeed helpNeeded(const PupilCount& count, const QDateTime& now, const HelpRule& rule) {
    HelpFacts facts;
    const QDate today = now.toLocalTime().date();
    for (const DayCount& d : count.days) {
        if (d.day > today)
            continue;
        facts.last = std::max(facts.last, QDateTime::fromMSecsSinceEpoch(d.lastEnded));
        int& best = facts.weeks[mondayOf(d.day)];
        best = std::max(best, d.reached);
    }
    QSet<QString> games;
    for (const GameDay& g : count.games)
        if (g.day <= today) {
            games.insert(g.game);
            facts.won = facts.won || g.won;
        }
    facts.games = int(games.size());
    for (const RecentCount& r : count.recent)
        if (r.day <= today)
            facts.recent = r;
    return helpOf(facts, now, rule);
}

} // namespace quiltaro
