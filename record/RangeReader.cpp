#include "RangeReader.h"

#include "SqliteErrors.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace quiltaro {

RangeReader::RangeReader(const QSqlDatabase& db, const QString& sql,
                         std::function<void(const Row&)> take)
    : take_(std::move(take)) {
    if (sqlite3* handle = sqliteHandle(db))
        sqlite3_prepare_v2(handle, sql.toUtf8().constData(), -1, &statement_, nullptr);
}

RangeReader::~RangeReader() {
    sqlite3_finalize(statement_);
}

void RangeReader::read(qint64 first, qint64 last) {
    while (first <= last) {
        if (failures_ > maxFailures) {
            damaged_ = true;
            return;
        }
        qint64 reached = first - 1;
        int status = SQLITE_ERROR;
        if (statement_) {
            sqlite3_reset(statement_);
            sqlite3_bind_int64(statement_, 1, first);
            sqlite3_bind_int64(statement_, 2, last);
            const Row row(statement_);
            while ((status = sqlite3_step(statement_)) == SQLITE_ROW) {
                reached = row.integer(0);
                take_(row);
            }
        }
        if (status == SQLITE_DONE)
            return;
        damaged_ = true;
        ++failures_;
        if (reached >= first) {
            first = reached + 1;
            continue;
        }
        if (first == last)
            return; // this key's page is lost
        const qint64 middle = first + (last - first) / 2;
        read(first, middle);
        first = middle + 1;
    }
}

// The smallest and largest key of a table, read from the edges of its tree:
// one query each, since together they would scan the whole table.
bool keyRange(const QSqlDatabase& db, const QString& table, qint64& first, qint64& last) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT MIN(id) FROM ") + table) || !q.next())
        return false;
    if (q.value(0).isNull()) {
        first = 1, last = 0; // empty
        return true;
    }
    first = q.value(0).toLongLong();
    q.finish();
    if (!q.exec(QStringLiteral("SELECT MAX(id) FROM ") + table) || !q.next())
        return false;
    last = q.value(0).toLongLong();
    return true;
}

} // namespace quiltaro
