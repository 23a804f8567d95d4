#include "DayGroups.h"

#include "ServerConnection.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

namespace quiltaro {

const char* const roundPlayed = "(tries > 0 OR ending IN ('won', 'gave_up'))";
const char* const levelPlayed =
    "CASE kind WHEN 'entiers' THEN 0 WHEN 'dixiemes' THEN 1 WHEN 'centiemes' THEN 2"
    " ELSE CASE WHEN score_before <= 2 THEN 0 WHEN score_before <= 6 THEN 1 ELSE 2 END END";

bool runForClass(ServerConnection& server, QSqlQuery& q, const QString& sql,
                 const QString& className) {
    if (!server.prepare(q, sql))
        return false;
    if (!className.isEmpty())
        q.addBindValue(className);
    return server.exec(q);
}

namespace {

// The figures of a group, in this order after its keys in both readings: of
// an hour as the server adds them up as rounds arrive, or of the rounds of a
// day themselves.
const char* const countedOfHours =
    "played, found, tries, outside, gave_up, won, lost, reached, seconds";
const char* const timesOfHours = "round(date_part('epoch', first_started) * 1000)::bigint,"
                                 " round(date_part('epoch', last_ended) * 1000)::bigint";
const char* const countedOfRounds =
    "count(*), count(*) FILTER (WHERE ending = 'won'), sum(tries), sum(outside),"
    " count(*) FILTER (WHERE ending = 'gave_up'), sum(greatest(score_after - score_before, 0)),"
    " sum(greatest(score_before - score_after, 0)), max(greatest(score_before, score_after)),"
    " sum(seconds), round(date_part('epoch', min(started)) * 1000)::bigint,"
    " round(date_part('epoch', max(ended)) * 1000)::bigint";

DayCount countOfRow(const QSqlQuery& q, int first) {
    DayCount d;
    int* const ints[] = {&d.played, &d.found,     &d.tries,      &d.outside,
                         &d.gaveUp, &d.pointsWon, &d.pointsLost, &d.reached};
    for (int i = 0; i < 8; ++i)
        *ints[i] = q.value(first + i).toInt();
    d.seconds = q.value(first + 8).toLongLong();
    d.firstStarted = q.value(first + 9).toLongLong();
    d.lastEnded = q.value(first + 10).toLongLong();
    return d;
}

// Groups of a finer grain (an hour, a game) added up into days.
class Days {
public:
    void add(const QString& pupil, const DayCount& more) {
        DayCount& d = days_[{pupil, more.day, more.level, more.levels}];
        if (d.played == 0) {
            d = more;
            return;
        }
        for (auto [to, from] : {std::pair{&d.played, more.played},
                                {&d.found, more.found},
                                {&d.tries, more.tries},
                                {&d.outside, more.outside},
                                {&d.gaveUp, more.gaveUp},
                                {&d.pointsWon, more.pointsWon},
                                {&d.pointsLost, more.pointsLost}})
            *to += from;
        d.reached = std::max(d.reached, more.reached);
        d.seconds += more.seconds;
        d.lastEnded = std::max(d.lastEnded, more.lastEnded);
        d.firstStarted = std::min(d.firstStarted, more.firstStarted);
    }
    void addGame(const QString& pupil, const QDate& day, const QString& game, bool won) {
        bool& seen = games_[{pupil, day, game}];
        seen = seen || won;
    }
    void into(CountsByPupil& counts) {
        for (auto& [key, d] : days_)
            counts[std::get<0>(key)].days.push_back(std::move(d));
        for (const auto& [key, won] : games_)
            counts[std::get<0>(key)].games.push_back({std::get<2>(key), std::get<1>(key), won});
    }

private:
    std::map<std::tuple<QString, QDate, int, QString>, DayCount> days_;
    std::map<std::tuple<QString, QDate, QString>, bool> games_;
};

// Whether every hour of this computer's zone begins an hour since 1970 in
// UTC, as the server counts them: then an hour lies in one local day.
bool wholeHours() {
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime from = QDateTime::fromSecsSinceEpoch(0, QTimeZone::utc());
    if (zone.offsetFromUtc(from) % 3600 != 0)
        return false;
    const QTimeZone::OffsetDataList changes = zone.transitions(from, from.addYears(150));
    return std::all_of(changes.begin(), changes.end(), [](const QTimeZone::OffsetData& change) {
        return change.offsetFromUtc % 3600 == 0;
    });
}

QString whereClass(const QString& className, const char* also = nullptr) {
    QStringList terms;
    if (!className.isEmpty())
        terms << QStringLiteral("class_name = ?");
    if (also)
        terms << QLatin1String(also);
    return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(" AND ");
}

bool failedOn(ServerConnection& server, const QSqlQuery& q) {
    return q.lastError().isValid() && !server.failedWith(q.lastError());
}

} // namespace

Counting readHourCounts(ServerConnection& server, QSqlQuery& q, const QString& className,
                        CountsByPupil& into) {
    if (!wholeHours())
        return Counting::NotCountable;
    // The local days of the hours, each asked of the zone once.
    std::unordered_map<qint64, QDate> days;
    const auto dayOf = [&days](const QVariant& hour) {
        const qint64 h = hour.toLongLong();
        auto known = days.find(h);
        if (known == days.end())
            known = days.emplace(h, QDateTime::fromSecsSinceEpoch(h * 3600).date()).first;
        return known->second;
    };
    if (!runForClass(server, q,
                     QStringLiteral("SELECT pupil, hour, lv, levels, kind, %1, %2"
                                    " FROM quiltaro.round_hours%3")
                         .arg(QLatin1String(countedOfHours), QLatin1String(timesOfHours),
                              whereClass(className)),
                     className))
        return Counting::Failed;
    Days counted;
    while (q.next()) {
        if (!kindCountedInSql(q.value(4).toString()))
            return Counting::NotCountable;
        DayCount d = countOfRow(q, 5);
        d.day = dayOf(q.value(1));
        d.level = q.value(2).toInt();
        d.levels = q.value(3).toString();
        counted.add(q.value(0).toString(), d);
    }
    if (failedOn(server, q) ||
        !runForClass(server, q,
                     QStringLiteral("SELECT pupil, hour, game, won FROM quiltaro.game_hours%1")
                         .arg(whereClass(className)),
                     className))
        return Counting::Failed;
    while (q.next())
        counted.addGame(q.value(0).toString(), dayOf(q.value(1)), q.value(2).toString(),
                        q.value(3).toBool());
    if (failedOn(server, q))
        return Counting::Failed;
    counted.into(into);
    return Counting::Done;
}

Counting groupRounds(ServerConnection& server, QSqlQuery& q, const QString& className,
                     CountsByPupil& into) {
    if (!runForClass(server, q,
                     QStringLiteral("SELECT pupil, started::date, %1, coalesce(level, ''),"
                                    " game_token, coalesce(kind, ''), %2,"
                                    " bool_or(score_after >= 10) FROM quiltaro.rounds%3"
                                    " GROUP BY 1, 2, 3, 4, 5, 6")
                         .arg(QLatin1String(levelPlayed), QLatin1String(countedOfRounds),
                              whereClass(className, roundPlayed)),
                     className))
        return Counting::Failed;
    Days days;
    while (q.next()) {
        if (!kindCountedInSql(q.value(5).toString()))
            return Counting::NotCountable;
        DayCount d = countOfRow(q, 6);
        d.day = q.value(1).toDate();
        d.level = q.value(2).toInt();
        d.levels = q.value(3).toString();
        const QString pupil = q.value(0).toString();
        days.add(pupil, d);
        days.addGame(pupil, d.day, q.value(4).toString(), q.value(17).toBool());
    }
    if (failedOn(server, q))
        return Counting::Failed;
    days.into(into);
    return Counting::Done;
}

} // namespace quiltaro
