#include "UnsentRounds.h"

#include "StoredRound.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>
#include <QVariant>

#include <sys/stat.h>

namespace quiltaro {

namespace {

// The device and inode of a file, as the record's writer knows its own: a
// record erased, or set aside and made again, is another file under the
// same name.
std::uint64_t fileIdOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return (static_cast<std::uint64_t>(st.st_dev) << 40) ^ static_cast<std::uint64_t>(st.st_ino);
}

} // namespace

UnsentRounds::UnsentRounds(QString recordPath, QString pupil)
    : path_(std::move(recordPath)), pupil_(std::move(pupil)),
      connection_(QStringLiteral("quiltaro-unsent-") +
                  QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

UnsentRounds::~UnsentRounds() {
    close();
}

bool UnsentRounds::current() const {
    return open_ && fileIdOf(path_) == fileId_;
}

bool UnsentRounds::open() {
    // The file erased or set aside: its connection would read rounds that
    // are no longer anyone's, and mark in it what the new file sends.
    if (open_ && !current())
        close();
    if (open_)
        return true;
    if (!QFileInfo::exists(path_))
        return false;
    fileId_ = fileIdOf(path_);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        // Never created here: a file being set aside stays gone.
        QUrl url = QUrl::fromLocalFile(QFileInfo(path_).absoluteFilePath());
        url.setQuery(QStringLiteral("mode=rw"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=200"));
        QSqlQuery q(db);
        // Only a record the writer has brought to this program's schema.
        open_ = db.open() && q.exec(QStringLiteral("PRAGMA user_version")) && q.next() &&
                q.value(0).toInt() == RecordStore::schemaVersion;
    }
    if (!open_)
        close();
    return open_;
}

void UnsentRounds::close() {
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
    open_ = false;
}

std::vector<UnsentRounds::Unsent> UnsentRounds::next(int limit) {
    std::vector<Unsent> found;
    if (!open())
        return found;
    const QSqlDatabase db = QSqlDatabase::database(connection_, false);
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral(
            "SELECT r.id, g.token, g.started_at, g.pupil, r.started_at, r.ended_at,"
            " r.score_before, r.score_after, r.low_bound, r.high_bound, r.red_value, r.ending,"
            " r.kind, r.level, g.class_name FROM rounds r JOIN games g ON g.id = r.game_id"
            " WHERE r.sent = 0"
            " ORDER BY r.id LIMIT ?"));
        q.addBindValue(limit);
        if (!q.exec()) {
            close();
            return {};
        }
        RoundReading reading;
        while (q.next()) {
            StoredRound stored;
            stored.gameToken = q.value(1).toString();
            stored.gameStarted = q.value(2).toLongLong();
            // Rounds from before pupils had names are the record's owner's.
            stored.pupil = q.value(3).toString().isEmpty() ? pupil_ : q.value(3).toString();
            stored.started = q.value(4).toLongLong();
            stored.ended = q.value(5).toLongLong();
            stored.scoreBefore = q.value(6).toInt();
            stored.scoreAfter = q.value(7).toInt();
            stored.lowBound = q.value(8).toDouble();
            stored.highBound = q.value(9).toDouble();
            stored.redValue = q.value(10).toDouble();
            const QString ending = q.value(11).toString();
            stored.ending = ending;
            stored.kind = q.value(12).toString();
            stored.levels = q.value(13).toString();
            stored.className = q.value(14).toString();
            found.push_back({q.value(0).toLongLong(), reading.roundOf(stored)});
        }
        if (q.lastError().isValid()) {
            close();
            return {};
        }
    }
    QSqlQuery guesses(db);
    guesses.setForwardOnly(true);
    guesses.prepare(
        QStringLiteral("SELECT answer, verdict FROM guesses WHERE round_id = ? ORDER BY position"));
    for (Unsent& u : found) {
        guesses.addBindValue(u.id);
        if (!guesses.exec()) {
            close();
            return {};
        }
        while (guesses.next())
            RoundReading::addGuess(u.round, guesses.value(0).toString().toStdString(),
                                   guesses.value(1).toString());
    }
    return found;
}

bool UnsentRounds::markSent(qint64 id, bool refused) {
    // Marked in the file the round was read from, or not at all: the same
    // id in a new file is another round.
    if (!current()) {
        close();
        return false;
    }
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("UPDATE rounds SET sent = ? WHERE id = ?"));
    q.addBindValue(refused ? 2 : 1);
    q.addBindValue(id);
    return q.exec();
}

} // namespace quiltaro
