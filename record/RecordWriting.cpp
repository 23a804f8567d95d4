#include "RecordStore.h"

#include "RecordReading.h"
#include "SqliteErrors.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace quiltaro {

namespace {

qint64 ms(const QDateTime& t) {
    return t.toMSecsSinceEpoch();
}

} // namespace

bool RecordStore::write(const RoundRecord& round) {
    return writeRounds(&round, 1);
}

bool RecordStore::writeMany(const std::vector<RoundRecord>& rounds) {
    return writeRounds(rounds.data(), rounds.size());
}

bool RecordStore::writeRounds(const RoundRecord* first, size_t count) {
    busy_ = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!open())
            return false;
        // What a damaged file gave first, so that the order stays the pupil's.
        if (!toCarryOver_.empty() && writeInTransaction(toCarryOver_.data(), toCarryOver_.size()))
            toCarryOver_.clear();
        if (toCarryOver_.empty() && writeInTransaction(first, count))
            return true;
        if (!stillTheOpenedFile()) {
            // The rounds go to a record made anew where the old one was.
            closeConnection();
            continue;
        }
        if (!corruptSeen_)
            return false;
        // The rounds are not lost: they go to a fresh file, after what could
        // be read of this one.
        corruptSeen_ = false;
        setAsideDamagedFile();
    }
    return false;
}

bool RecordStore::writeRecovered(const std::vector<RoundRecord>& rounds) {
    busy_ = false;
    return open() && writeInTransaction(rounds.data(), rounds.size(), true);
}

bool RecordStore::writeInTransaction(const RoundRecord* first, size_t count, bool skipPresent) {
    QSqlDatabase db = QSqlDatabase::database(connection());
    QSqlQuery q(db);
    auto failWith = [&](const QSqlError& error) { return abandonTransaction(q, error); };
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failWith(q.lastError());
    // A teacher who forgets a pupil removes the pupil's record, folder and
    // all, perhaps while a game of theirs is still open: what it wrote then
    // would go to a file nobody can open again. The command removes the
    // files while it holds the write lock, so once this transaction holds it
    // the path tells for sure whether the file is still there.
    if (!stillTheOpenedFile()) {
        q.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    for (const RoundRecord* round = first; round != first + count; ++round)
        if (!insertRound(q, *round, skipPresent))
            return failWith(q.lastError());
    if (!q.exec(QStringLiteral("COMMIT")))
        return failWith(q.lastError());
    return true;
}

bool RecordStore::insertRound(QSqlQuery& q, const RoundRecord& r, bool skipPresent) {
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO games (token, started_at, pupil, class_name)"
                             " VALUES (?, ?, ?, ?)"));
    q.addBindValue(r.gameToken);
    q.addBindValue(ms(r.gameStarted));
    q.addBindValue(r.pupil.isNull() ? QString(QLatin1String("")) : r.pupil);
    q.addBindValue(r.className.isNull() ? QString(QLatin1String("")) : r.className);
    if (!q.exec())
        return false;
    q.prepare(QStringLiteral("SELECT id FROM games WHERE token = ?"));
    q.addBindValue(r.gameToken);
    if (!q.exec() || !q.next())
        return false;
    const qint64 gameId = q.value(0).toLongLong();
    q.finish();
    if (skipPresent) {
        // A pupil never plays two rounds of a game that begin and end in the
        // same milliseconds: such a round is one already written.
        q.prepare(QStringLiteral(
            "SELECT 1 FROM rounds WHERE game_id = ? AND started_at = ? AND ended_at = ?"));
        q.addBindValue(gameId);
        q.addBindValue(ms(r.started));
        q.addBindValue(ms(r.ended));
        if (!q.exec())
            return false;
        const bool present = q.next();
        q.finish();
        if (present)
            return true;
    }
    q.prepare(QStringLiteral(
        "INSERT INTO rounds (game_id, started_at, ended_at, score_before, score_after, low_bound,"
        " high_bound, red_value, tries, points, ending, kind, level)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant& v :
         {QVariant(gameId), QVariant(ms(r.started)), QVariant(ms(r.ended)), QVariant(r.scoreBefore),
          QVariant(r.scoreAfter), QVariant(r.lowBound), QVariant(r.highBound),
          QVariant(static_cast<double>(r.redValue)), QVariant(r.tries()), QVariant(r.points()),
          QVariant(endingWord(r)), kindValue(r.kind), levelsValue(r.levels)})
        q.addBindValue(v);
    if (!q.exec())
        return false;
    const QVariant roundId = q.lastInsertId();
    q.prepare(QStringLiteral("INSERT INTO guesses VALUES (?, ?, ?, ?)"));
    for (size_t i = 0; i < r.guesses.size(); ++i) {
        q.addBindValue(roundId);
        q.addBindValue(static_cast<int>(i + 1));
        q.addBindValue(QString::fromStdString(r.guesses[i].answer));
        q.addBindValue(verdictWord(r, i));
        if (!q.exec())
            return false;
    }
    return true;
}

std::vector<RoundRecord> RecordStore::readAll() {
    if (!open())
        return {};
    bool damaged = false;
    return readRounds(QSqlDatabase::database(connection()), schemaVersion, damaged);
}

bool RecordStore::forget() {
    return erase(QString(), {"DELETE FROM guesses", "DELETE FROM rounds", "DELETE FROM games"});
}

bool RecordStore::forgetPupil(const QString& pupil) {
    return erase(pupil, {"DELETE FROM guesses WHERE round_id IN (SELECT rounds.id FROM rounds"
                         " JOIN games ON games.id = rounds.game_id WHERE games.pupil = ?)",
                         "DELETE FROM rounds WHERE game_id IN"
                         " (SELECT id FROM games WHERE pupil = ?)",
                         "DELETE FROM games WHERE pupil = ?"});
}

bool RecordStore::erase(const QString& pupil, std::initializer_list<const char*> statements) {
    if (!open())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection());
    QSqlQuery q(db);
    auto abandon = [&] {
        const QSqlError error = q.lastError();
        q.finish();
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        failed(error);
        return false;
    };
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return abandon();
    for (const char* statement : statements) {
        q.prepare(QString::fromLatin1(statement));
        if (!pupil.isNull())
            q.addBindValue(pupil);
        if (!q.exec())
            return abandon();
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return abandon();
    // Erased means erased: no copy left in the log or in free pages. A log
    // another copy still reads cannot be emptied: that is told, not hidden.
    for (const char* statement :
         {"PRAGMA wal_checkpoint(TRUNCATE)", "VACUUM", "PRAGMA wal_checkpoint(TRUNCATE)"}) {
        const bool checkpoint = QByteArray(statement).contains("checkpoint");
        if (!q.exec(QString::fromLatin1(statement)) ||
            (checkpoint && (!q.next() || q.value(0).toInt() != 0))) {
            fail(Problem::Other, QStringLiteral("les manches sont effacées, mais des traces en "
                                                "restent dans le fichier : fermez le jeu sur ce "
                                                "poste et relancez la commande"));
            q.finish();
            return false;
        }
        q.finish();
    }
    return true;
}

} // namespace quiltaro
