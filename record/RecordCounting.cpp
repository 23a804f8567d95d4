#include "RecordCounting.h"

#include "RecordReading.h"
#include "Salvage.h"
#include "SqliteConnection.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <tuple>

namespace quiltaro {

namespace {

// Every round of a record of the fifth schema on, as countQueries reads it.
// A round whose game was lost keeps a game of its own number, as the
// reading gives it; the day is the local one, as the C library gives it to
// Qt when the rounds are read.
const char* const recordRounds =
    "SELECT r.id AS id, coalesce(g.pupil, '') AS pupil,"
    " coalesce(g.token, 'partie-' || r.game_id) AS game,"
    " r.started_at AS s, r.ended_at AS e, r.score_before AS b, r.score_after AS a,"
    " r.tries AS t, r.ending AS ending, coalesce(r.level, '') AS levels,"
    " (SELECT COUNT(*) FROM guesses u WHERE u.round_id = r.id AND u.verdict = 'outside') AS o,"
    " date(r.started_at / 1000, 'unixepoch', 'localtime') AS day,"
    " CASE r.kind WHEN 'entiers' THEN 0 WHEN 'dixiemes' THEN 1 WHEN 'centiemes' THEN 2"
    "  ELSE CASE WHEN r.score_before <= 2 THEN 0 WHEN r.score_before <= 6 THEN 1 ELSE 2 END"
    " END AS lv"
    " FROM rounds r LEFT JOIN games g ON g.id = r.game_id";

// The first schema that keeps each round's kind of number.
constexpr int countedSchema = 5;

std::tuple<bool, QDateTime, qint64> writingStamp(const QString& path) {
    const QFileInfo file(path);
    return {QFileInfo::exists(path + QStringLiteral("-wal")), file.lastModified(), file.size()};
}

bool kindsCounted(QSqlQuery& q) {
    if (!q.exec(QStringLiteral("SELECT DISTINCT coalesce(kind, '') FROM rounds")))
        return false;
    while (q.next())
        if (!kindCountedInSql(q.value(0).toString()))
            return false;
    return true;
}

std::optional<CountsByPupil> countOpen(QSqlDatabase& db) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return std::nullopt;
    const int version = q.value(0).toInt();
    q.finish();
    if (version < countedSchema || version > RecordStore::schemaVersion || !kindsCounted(q))
        return std::nullopt;
    const CountQueries sql = countQueries(QString::fromLatin1(recordRounds));
    CountsByPupil counts;
    for (const auto& [text, take] : {std::pair{&sql.all, &takeAll},
                                     {&sql.days, &takeDays},
                                     {&sql.games, &takeGames},
                                     {&sql.recent, &takeRecent}}) {
        if (!q.exec(*text))
            return std::nullopt;
        take(q, counts);
        // A scan that stopped on a damaged page ends like one that is done.
        if (q.lastError().isValid())
            return std::nullopt;
        q.finish();
    }
    return counts;
}

} // namespace

std::optional<CountsByPupil> countRecord(const QString& path) {
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable() || file.size() == 0 ||
        !keptAsideFiles(path).isEmpty() || logDamaged(path))
        return std::nullopt;
    const auto before = writingStamp(path);
    std::optional<CountsByPupil> counts =
        withSqliteConnection(QStringLiteral("counting"), [&](QSqlDatabase& db) {
            return openReadOnly(db, path) ? countOpen(db) : std::nullopt;
        });
    // A game wrote meanwhile: the reading round by round deals with it.
    if (writingStamp(path) != before)
        return std::nullopt;
    return counts;
}

} // namespace quiltaro
