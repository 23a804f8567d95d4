#include "ServerTally.h"

#include "DayGroups.h"
#include "ServerConnection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace quiltaro {

namespace {

// A played round as slideRecent needs it, packed in one bigint: the day, the
// level, the change of score, whether it was given up, and the answers
// outside (at most 10,000, as the table allows).
constexpr qint64 outsideSpan = 16384, gaveUpSpan = 2, changeSpan = 131072, levelSpan = 4;
const QDate dayZero(2000, 1, 1);

QString step() {
    return QStringLiteral("((((started::date - DATE '2000-01-01')::bigint * %1 + %2) * %3"
                          " + score_after - score_before + %4) * %5"
                          " + CASE WHEN ending = 'gave_up' THEN 1 ELSE 0 END) * %6 + outside")
        .arg(levelSpan)
        .arg(QLatin1String(levelPlayed))
        .arg(changeSpan)
        .arg(changeSpan / 2)
        .arg(gaveUpSpan)
        .arg(outsideSpan);
}

qint64 takeField(qint64& packed, qint64 span) {
    qint64 field = packed % span;
    if (field < 0) // a day before 2000: the division floors
        field += span;
    packed = (packed - field) / span;
    return field;
}

RecentStep unpack(qint64 packed) {
    RecentStep s;
    s.outside = int(takeField(packed, outsideSpan));
    s.gaveUp = takeField(packed, gaveUpSpan) != 0;
    s.change = int(takeField(packed, changeSpan) - changeSpan / 2);
    s.level = int(takeField(packed, levelSpan));
    s.day = dayZero.addDays(packed);
    return s;
}

// A bigint[] as Qt's driver gives it: "{1,2,3}", or nothing for none.
std::vector<RecentStep> stepsOf(const QVariant& array) {
    std::vector<RecentStep> steps;
    const QString text = array.toString();
    if (text.size() < 2)
        return steps;
    const QStringView inner = QStringView(text).mid(1, text.size() - 2);
    steps.reserve(size_t(inner.count(QLatin1Char(',')) + 1));
    for (const QStringView number : inner.tokenize(QLatin1Char(','), Qt::SkipEmptyParts))
        steps.push_back(unpack(number.toLongLong()));
    return steps;
}

// Every round counts among a pupil's rounds; the played ones make the stream,
// aggregated in the order the ordered reading gives them: the class is read
// in the index of each pupil's rounds in order, which holds every column
// named here (quiltaro-serveur.sql), never from the rounds themselves.
Counting readStream(ServerConnection& server, QSqlQuery& q, const QString& className,
                    CountsByPupil& into) {
    if (!runForClass(
            server, q,
            QStringLiteral("SELECT pupil, count(*), array_agg(step) FILTER (WHERE p)"
                           " FROM (SELECT pupil, %1 AS p, %2 AS step FROM"
                           " quiltaro.rounds%3 ORDER BY pupil, started, arrival) r"
                           " GROUP BY pupil")
                .arg(QLatin1String(roundPlayed), step(),
                     className.isEmpty() ? QString() : QStringLiteral(" WHERE class_name = ?")),
            className))
        return Counting::Failed;
    while (q.next()) {
        PupilCount& count = into[q.value(0).toString()];
        count.rounds = q.value(1).toLongLong();
        count.recent = slideRecent(stepsOf(q.value(2)));
    }
    return !q.lastError().isValid() || server.failedWith(q.lastError()) ? Counting::Done
                                                                        : Counting::Failed;
}

// The planner's compiler costs more than these queries save by it; the
// stream is aggregated in the order one process reads it.
bool setForCounting(ServerConnection& server, QSqlQuery& q) {
    for (const char* setting : {"jit = off", "max_parallel_workers_per_gather = 0"})
        if (!server.exec(q, QStringLiteral("SET LOCAL %1").arg(QLatin1String(setting))))
            return false;
    return true;
}

// The version of the tables: the counted columns and hours came with the
// fourth.
bool readVersion(ServerConnection& server, QSqlQuery& q, int& version) {
    if (!server.exec(q, QStringLiteral("SELECT coalesce(max(version), 0) FROM quiltaro.version")) ||
        !q.next())
        return false;
    version = q.value(0).toInt();
    return true;
}

Counting tallyIn(ServerConnection& server, QSqlQuery& q, const QString& className,
                 CountsByPupil& counts) {
    int version = 0;
    if (!readVersion(server, q, version) || !setForCounting(server, q))
        return Counting::Failed;
    if (version < 4)
        return Counting::NotCountable;
    Counting counted = readStream(server, q, className, counts);
    if (counted != Counting::Done)
        return counted;
    CountsByPupil days;
    counted = readHourCounts(server, q, className, days);
    if (counted == Counting::NotCountable) {
        days.clear();
        counted = groupRounds(server, q, className, days);
    }
    for (auto& [pupil, count] : days) {
        counts[pupil].days = std::move(count.days);
        counts[pupil].games = std::move(count.games);
    }
    return counted;
}

} // namespace

Counting tallyOnServer(ServerConnection& server, const QString& className, CountsByPupil& counts) {
    QSqlQuery q(server.database());
    q.setForwardOnly(true);
    // One snapshot: a round that arrives meanwhile is in every count or none.
    if (!server.exec(q, QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")))
        return Counting::Failed;
    const Counting counting = tallyIn(server, q, className, counts);
    if (counting != Counting::Done)
        counts.clear();
    server.rollback();
    return counting;
}

} // namespace quiltaro
