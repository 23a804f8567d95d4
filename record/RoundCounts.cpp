#include "RoundCounts.h"

#include "Levels.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace quiltaro {

namespace {

// Only what both engines read alike: CASE for a larger of two and for a
// truth counted, no engine's own functions.
const char* const changeUp = "CASE WHEN a > b THEN a - b ELSE 0 END";
const char* const changeDown = "CASE WHEN b > a THEN b - a ELSE 0 END";

QString sumAt(int level, const QString& what) {
    return QStringLiteral("SUM(CASE WHEN lv = %1 THEN %2 ELSE 0 END) OVER w").arg(level).arg(what);
}

QDate dayOf(const QVariant& v) {
    return QDate::fromString(v.toString(), Qt::ISODate);
}

} // namespace

CountQueries countQueries(const QString& playedRounds) {
    const QString with = QStringLiteral("WITH rr AS (%1), played AS (SELECT * FROM rr WHERE t > 0"
                                        " OR ending IN ('won', 'gave_up')) ")
                             .arg(playedRounds);
    CountQueries q;
    q.all = QStringLiteral("WITH rr AS (%1) SELECT pupil, COUNT(*) FROM rr GROUP BY pupil")
                .arg(playedRounds);
    q.days = with + QStringLiteral(
                        "SELECT pupil, day, lv, levels, COUNT(*),"
                        " SUM(CASE WHEN ending = 'won' THEN 1 ELSE 0 END), SUM(t), SUM(o),"
                        " SUM(CASE WHEN ending = 'gave_up' THEN 1 ELSE 0 END), SUM(%1), SUM(%2),"
                        " MAX(CASE WHEN a > b THEN a ELSE b END),"
                        " SUM(CASE WHEN e - s < 0 THEN 0 WHEN e - s >= 600000 THEN 600"
                        " ELSE (e - s) / 1000 END), MAX(e), MIN(s)"
                        " FROM played GROUP BY pupil, day, lv, levels ORDER BY pupil, day")
                        .arg(QLatin1String(changeUp), QLatin1String(changeDown));
    q.games = with + QStringLiteral("SELECT pupil, game, day, MAX(CASE WHEN a >= 10 THEN 1 ELSE 0"
                                    " END) FROM played GROUP BY pupil, game, day"
                                    " ORDER BY pupil, day");
    // The sums over the last rounds slide along each pupil's rounds; the
    // last round of each day holds them as they stood that evening.
    QStringList sums = {QStringLiteral("COUNT(*) OVER w"),
                        QStringLiteral("SUM(%1) OVER w").arg(QLatin1String(changeUp)),
                        QStringLiteral("SUM(%1) OVER w").arg(QLatin1String(changeDown))};
    for (const QString& what :
         {QString::fromLatin1(changeDown), QStringLiteral("a - b"), QStringLiteral("1"),
          QStringLiteral("o"), QStringLiteral("CASE WHEN ending = 'gave_up' THEN 1 ELSE 0 END")})
        for (int level = 0; level < countedLevels; ++level)
            sums << sumAt(level, what);
    QStringList columns;
    for (int i = 0; i < sums.size(); ++i)
        columns << QStringLiteral("c%1").arg(i);
    q.recent = with + QStringLiteral("SELECT pupil, day, %1 FROM (SELECT pupil, day, %2,"
                                     " ROW_NUMBER() OVER (PARTITION BY pupil, day ORDER BY s DESC,"
                                     " id DESC) AS latest FROM played"
                                     " WINDOW w AS (PARTITION BY pupil ORDER BY s, id ROWS BETWEEN"
                                     " %3 PRECEDING AND CURRENT ROW)) ends WHERE latest = 1"
                                     " ORDER BY pupil, day")
                          .arg(columns.join(QStringLiteral(", ")))
                          .arg([&] {
                              QStringList named;
                              for (int i = 0; i < sums.size(); ++i)
                                  named << sums[i] + QStringLiteral(" AS c%1").arg(i);
                              return named.join(QStringLiteral(", "));
                          }())
                          .arg(recentRoundsCounted - 1);
    return q;
}

void takeAll(QSqlQuery& q, CountsByPupil& into) {
    while (q.next())
        into[q.value(0).toString()].rounds += q.value(1).toLongLong();
}

void takeDays(QSqlQuery& q, CountsByPupil& into) {
    while (q.next()) {
        DayCount d;
        d.day = dayOf(q.value(1));
        d.level = q.value(2).toInt();
        d.levels = q.value(3).toString();
        int* const ints[] = {&d.played, &d.found,     &d.tries,      &d.outside,
                             &d.gaveUp, &d.pointsWon, &d.pointsLost, &d.reached};
        for (int i = 0; i < 8; ++i)
            *ints[i] = q.value(4 + i).toInt();
        d.seconds = q.value(12).toLongLong();
        d.lastEnded = q.value(13).toLongLong();
        d.firstStarted = q.value(14).toLongLong();
        into[q.value(0).toString()].days.push_back(std::move(d));
    }
}

void takeGames(QSqlQuery& q, CountsByPupil& into) {
    while (q.next())
        into[q.value(0).toString()].games.push_back(
            {q.value(1).toString(), dayOf(q.value(2)), q.value(3).toInt() != 0});
}

void takeRecent(QSqlQuery& q, CountsByPupil& into) {
    while (q.next()) {
        RecentCount r;
        r.day = dayOf(q.value(1));
        r.rounds = q.value(2).toInt();
        r.won = q.value(3).toInt();
        r.lost = q.value(4).toInt();
        int column = 5;
        for (auto* at : {&r.lostAt, &r.keptAt, &r.roundsAt, &r.outsideAt, &r.gaveUpAt})
            for (int& v : *at)
                v = q.value(column++).toInt();
        into[q.value(0).toString()].recent.push_back(r);
    }
}

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
