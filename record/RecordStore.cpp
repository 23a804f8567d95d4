#include "RecordStore.h"

#include "AnswerEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>
#include <QVariant>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>

namespace quiltaro {

// ---- Reporting -----------------------------------------------------------------

ProblemReport::ProblemReport()
    : sink_([](const QString& text) {
          std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
          std::fflush(stderr);
      }) {}

void ProblemReport::tell(Problem problem, const QString& text) {
    if (!told_.insert(problem).second)
        return;
    if (sink_)
        sink_(text);
}

// ---- Names stored in the database ------------------------------------------------

const char* endingName(Ending ending) {
    switch (ending) {
    case Ending::Won:
        return "won";
    case Ending::GaveUp:
        return "gave_up";
    case Ending::NewRound:
        return "new_round";
    case Ending::ProgramEnd:
        return "program_end";
    }
    return "program_end";
}

std::optional<Ending> endingFromName(const QString& name) {
    for (Ending e : {Ending::Won, Ending::GaveUp, Ending::NewRound, Ending::ProgramEnd})
        if (name == QLatin1String(endingName(e)))
            return e;
    return std::nullopt;
}

const char* verdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::Outside:
        return "outside";
    case Verdict::TooHigh:
        return "too_high";
    case Verdict::TooLow:
        return "too_low";
    case Verdict::Right:
        return "right";
    }
    return "outside";
}

std::optional<Verdict> verdictFromName(const QString& name) {
    for (Verdict v : {Verdict::Outside, Verdict::TooHigh, Verdict::TooLow, Verdict::Right})
        if (name == QLatin1String(verdictName(v)))
            return v;
    return std::nullopt;
}

std::vector<Verdict> replayVerdicts(double low, double high, float red,
                                    const std::vector<std::string>& answers) {
    std::vector<Verdict> verdicts;
    for (const std::string& answer : answers) {
        // Read as the game reads an answer: on a French desktop strtod
        // would stop at the decimal point.
        const float guess = answerValue(answer);
        if (guess > high || guess < low) {
            verdicts.push_back(Verdict::Outside);
        } else if (guess > red) {
            verdicts.push_back(Verdict::TooHigh);
            high = guess;
        } else if (guess < red) {
            verdicts.push_back(Verdict::TooLow);
            low = guess;
        } else {
            verdicts.push_back(Verdict::Right);
        }
    }
    return verdicts;
}

bool looksLikeSqlite(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true; // not ours to judge: opening it will say what is wrong
    if (file.size() == 0)
        return true; // SQLite takes an empty file as an empty database
    return file.read(16) == QByteArray("SQLite format 3\0", 16);
}

// ---- The store ---------------------------------------------------------------------

namespace {

// The schema's history. Each step takes the database from the version before
// it to its own; a new database goes through all of them, so the path from
// an old record is the one every new record takes too.
const char* const schemaVersion1[] = {
    "CREATE TABLE games ("
    " id INTEGER PRIMARY KEY,"
    " token TEXT NOT NULL UNIQUE,"
    " started_at INTEGER NOT NULL)",
    "CREATE TABLE rounds ("
    " id INTEGER PRIMARY KEY,"
    " game_id INTEGER NOT NULL REFERENCES games(id) ON DELETE CASCADE,"
    " started_at INTEGER NOT NULL,"
    " ended_at INTEGER NOT NULL,"
    " score_before INTEGER NOT NULL,"
    " score_after INTEGER NOT NULL,"
    " low_bound REAL NOT NULL,"
    " high_bound REAL NOT NULL,"
    " red_value REAL NOT NULL,"
    " tries INTEGER NOT NULL,"
    " points INTEGER NOT NULL,"
    " ending TEXT NOT NULL,"
    " guesses TEXT NOT NULL)", // the answers, separated by spaces
};

int sqliteCode(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xff : -1;
}

qint64 ms(const QDateTime& t) {
    return t.toMSecsSinceEpoch();
}

} // namespace

RecordStore::RecordStore(QString path, ProblemReport& report)
    : path_(std::move(path)), report_(report),
      connection_(QStringLiteral("quiltaro-record-") +
                  QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

RecordStore::~RecordStore() {
    closeConnection();
}

QString RecordStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/record.sqlite");
}

void RecordStore::fail(Problem problem, const QString& detail) {
    busy_ = problem == Problem::Locked;
    const QString where = QDir::toNativeSeparators(path_);
    QString text;
    switch (problem) {
    case Problem::Unwritable:
        text = QStringLiteral("quiltaro : les parties ne peuvent pas être enregistrées dans %1 "
                              "(%2). Le jeu continue sans les enregistrer.")
                   .arg(where, detail);
        break;
    case Problem::DiskFull:
        text = QStringLiteral("quiltaro : le disque est plein, la dernière manche n'a pas pu être "
                              "enregistrée dans %1. Le jeu continue ; les manches seront "
                              "enregistrées dès qu'il y aura de la place.")
                   .arg(where);
        break;
    case Problem::Locked:
        text = QStringLiteral("quiltaro : le fichier %1 est occupé, sans doute par un autre "
                              "Quiltaro ouvert en même temps. Le jeu continue ; les manches "
                              "seront enregistrées dès qu'il sera libre.")
                   .arg(where);
        break;
    case Problem::Corrupt:
        text = QStringLiteral("quiltaro : le fichier %1 était abîmé. Il a été mis de côté sous le "
                              "nom %2, et un nouveau fichier a été commencé.")
                   .arg(where, QDir::toNativeSeparators(detail));
        break;
    case Problem::NewerSchema:
        text = QStringLiteral("quiltaro : le fichier %1 vient d'une version plus récente de "
                              "Quiltaro ; celle-ci ne peut pas y écrire. Le jeu continue sans "
                              "enregistrer les parties.")
                   .arg(where);
        break;
    case Problem::Other:
        text = QStringLiteral("quiltaro : une manche n'a pas pu être enregistrée dans %1 (%2). "
                              "Le jeu continue.")
                   .arg(where, detail);
        break;
    }
    report_.tell(problem, text);
}

Problem RecordStore::classify(int code) const {
    switch (code) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return Problem::Locked;
    case 13: // SQLITE_FULL
        return Problem::DiskFull;
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return Problem::Corrupt;
    case 3:  // SQLITE_PERM
    case 8:  // SQLITE_READONLY
    case 14: // SQLITE_CANTOPEN
        return Problem::Unwritable;
    default:
        return Problem::Other;
    }
}

bool RecordStore::openConnection() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path_);
    // Another copy of the game commits in well under a millisecond; waiting a
    // little for it is better than reporting it.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=100"));
    if (!db.open()) {
        const QSqlError error = db.lastError();
        closeConnection();
        fail(Problem::Unwritable,
             error.driverText() + QStringLiteral(" : ") + error.databaseText());
        return false;
    }
    return true;
}

void RecordStore::closeConnection() {
    if (!QSqlDatabase::contains(connection_))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
    opened_ = false;
}

bool RecordStore::setAsideCorruptFile() {
    closeConnection();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path_ + QStringLiteral(".abime-") + stamp;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo::exists(target + QStringLiteral("-wal"));
         ++n)
        target = path_ + QStringLiteral(".abime-") + stamp + QStringLiteral("-%1").arg(n);
    // QFile::rename never replaces an existing file.
    if (!QFile::rename(path_, target)) {
        fail(Problem::Unwritable, QStringLiteral("le fichier abîmé ne peut pas être déplacé"));
        disabled_ = true;
        return false;
    }
    if (QFileInfo::exists(path_ + QStringLiteral("-wal")))
        QFile::rename(path_ + QStringLiteral("-wal"), target + QStringLiteral("-wal"));
    QFile::remove(path_ + QStringLiteral("-shm")); // an index of the log, rebuilt from it
    setAside_ = target;
    fail(Problem::Corrupt, target);
    return true;
}

bool RecordStore::open() {
    if (opened_)
        return true;
    if (disabled_)
        return false;
    const QFileInfo file(path_);
    if (!QDir().mkpath(file.absolutePath())) {
        fail(Problem::Unwritable, QStringLiteral("le dossier %1 ne peut pas être créé")
                                      .arg(QDir::toNativeSeparators(file.absolutePath())));
        disabled_ = true;
        return false;
    }
    if (file.exists() && !looksLikeSqlite(path_) && !setAsideCorruptFile())
        return false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        switch (openOnce()) {
        case Opening::Done:
            return true;
        case Opening::Failed:
            closeConnection();
            return false;
        case Opening::Corrupt:
            // Found only once the connection is gone, so that the file can move.
            closeConnection();
            if (attempt > 0 || !setAsideCorruptFile())
                return false;
            break;
        }
    }
    return false;
}

RecordStore::Opening RecordStore::openOnce() {
    if (!openConnection()) {
        disabled_ = true;
        return Opening::Failed;
    }
    QSqlQuery q(QSqlDatabase::database(connection_));
    // A newer program's record is not touched at all, not even its journal mode.
    if (q.exec(QStringLiteral("PRAGMA user_version")) && q.next() &&
        q.value(0).toInt() > schemaVersion) {
        fail(Problem::NewerSchema, QString());
        disabled_ = true;
        return Opening::Failed;
    }
    q.finish();
    if (!switchToWal(q)) {
        const Problem problem = classify(sqliteCode(q.lastError()));
        if (problem == Problem::Corrupt)
            return Opening::Corrupt;
        fail(problem, q.lastError().databaseText());
        if (problem != Problem::Locked && problem != Problem::DiskFull)
            disabled_ = true;
        return Opening::Failed;
    }
    q.finish();
    q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    q.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    if (migrate()) {
        opened_ = true;
        return Opening::Done;
    }
    if (corruptSeen_) {
        corruptSeen_ = false;
        return Opening::Corrupt;
    }
    return Opening::Failed;
}

bool RecordStore::switchToWal(QSqlQuery& q) const {
    // Changing the journal of a record that is not yet in WAL mode (a new
    // one) needs the write lock while this connection already reads the file.
    // When another copy holds that lock, SQLite fails at once rather than wait
    // its busy timeout, since two readers waiting for each other would never
    // end. Letting go of the read and trying again lets the other copy finish;
    // that takes milliseconds, so the game waits a little, never long.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(300);
    for (;;) {
        if (q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            return true;
        if (Clock::now() >= deadline || classify(sqliteCode(q.lastError())) != Problem::Locked)
            return false;
        q.finish();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool RecordStore::migrate() {
    QSqlDatabase db = QSqlDatabase::database(connection_);
    QSqlQuery q(db);
    auto failWith = [&](const QSqlError& error) {
        const Problem problem = classify(sqliteCode(error));
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        if (problem == Problem::Corrupt) {
            corruptSeen_ = true;
            return false;
        }
        fail(problem, error.databaseText());
        if (problem == Problem::Unwritable || problem == Problem::Other)
            disabled_ = true;
        return false;
    };
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return failWith(q.lastError());
    int version = q.value(0).toInt();
    q.finish();
    if (version == schemaVersion)
        return true;
    if (version > schemaVersion) {
        fail(Problem::NewerSchema, QString());
        disabled_ = true;
        return false;
    }
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failWith(q.lastError());
    // Read again inside the transaction: another copy may have migrated meanwhile.
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return failWith(q.lastError());
    version = q.value(0).toInt();
    q.finish();
    if (version < 1) {
        for (const char* statement : schemaVersion1)
            if (!q.exec(QString::fromLatin1(statement)))
                return failWith(q.lastError());
        version = 1;
    }
    if (version < 2) {
        if (!q.exec(QStringLiteral("CREATE TABLE guesses ("
                                   " round_id INTEGER NOT NULL REFERENCES rounds(id)"
                                   "  ON DELETE CASCADE,"
                                   " position INTEGER NOT NULL,"
                                   " answer TEXT NOT NULL,"
                                   " verdict TEXT NOT NULL,"
                                   " PRIMARY KEY (round_id, position)) WITHOUT ROWID")))
            return failWith(q.lastError());
        // The verdicts were not kept: the rules give them again from the interval.
        QSqlQuery rounds(db), insert(db);
        rounds.setForwardOnly(true);
        if (!rounds.exec(
                QStringLiteral("SELECT id, low_bound, high_bound, red_value, guesses FROM rounds")))
            return failWith(rounds.lastError());
        insert.prepare(QStringLiteral("INSERT INTO guesses VALUES (?, ?, ?, ?)"));
        while (rounds.next()) {
            std::vector<std::string> answers;
            for (const QString& a :
                 rounds.value(4).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts))
                answers.push_back(a.toStdString());
            const auto verdicts =
                replayVerdicts(rounds.value(1).toDouble(), rounds.value(2).toDouble(),
                               static_cast<float>(rounds.value(3).toDouble()), answers);
            for (size_t i = 0; i < answers.size(); ++i) {
                insert.addBindValue(rounds.value(0));
                insert.addBindValue(static_cast<int>(i + 1));
                insert.addBindValue(QString::fromStdString(answers[i]));
                insert.addBindValue(QLatin1String(verdictName(verdicts[i])));
                if (!insert.exec())
                    return failWith(insert.lastError());
            }
        }
        rounds.finish();
        for (const char* statement : {"ALTER TABLE rounds DROP COLUMN guesses",
                                      "CREATE INDEX rounds_by_game ON rounds(game_id)"})
            if (!q.exec(QString::fromLatin1(statement)))
                return failWith(q.lastError());
        version = 2;
    }
    if (!q.exec(QStringLiteral("PRAGMA user_version = %1").arg(version)) ||
        !q.exec(QStringLiteral("COMMIT")))
        return failWith(q.lastError());
    return true;
}

bool RecordStore::write(const RoundRecord& round) {
    return writeRounds(&round, 1);
}

bool RecordStore::writeMany(const std::vector<RoundRecord>& rounds) {
    return writeRounds(rounds.data(), rounds.size());
}

bool RecordStore::writeRounds(const RoundRecord* first, size_t count) {
    busy_ = false;
    if (!open())
        return false;
    if (writeInTransaction(first, count))
        return true;
    if (corruptSeen_) {
        // The rounds are not lost: the caller keeps them, and the next write
        // goes to a fresh file.
        corruptSeen_ = false;
        setAsideCorruptFile();
    }
    return false;
}

bool RecordStore::writeInTransaction(const RoundRecord* first, size_t count) {
    QSqlDatabase db = QSqlDatabase::database(connection_);
    QSqlQuery q(db);
    auto failWith = [&](const QSqlError& error) {
        const Problem problem = classify(sqliteCode(error));
        q.finish();
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        if (problem == Problem::Corrupt) {
            corruptSeen_ = true;
            return false;
        }
        fail(problem, error.databaseText());
        return false;
    };
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failWith(q.lastError());
    for (const RoundRecord* round = first; round != first + count; ++round)
        if (!insertRound(q, *round))
            return failWith(q.lastError());
    if (!q.exec(QStringLiteral("COMMIT")))
        return failWith(q.lastError());
    return true;
}

bool RecordStore::insertRound(QSqlQuery& q, const RoundRecord& r) {
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO games (token, started_at) VALUES (?, ?)"));
    q.addBindValue(r.gameToken);
    q.addBindValue(ms(r.gameStarted));
    if (!q.exec())
        return false;
    q.prepare(QStringLiteral("SELECT id FROM games WHERE token = ?"));
    q.addBindValue(r.gameToken);
    if (!q.exec() || !q.next())
        return false;
    const qint64 gameId = q.value(0).toLongLong();
    q.finish();
    q.prepare(QStringLiteral(
        "INSERT INTO rounds (game_id, started_at, ended_at, score_before, score_after, low_bound,"
        " high_bound, red_value, tries, points, ending) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant& v :
         {QVariant(gameId), QVariant(ms(r.started)), QVariant(ms(r.ended)), QVariant(r.scoreBefore),
          QVariant(r.scoreAfter), QVariant(r.lowBound), QVariant(r.highBound),
          QVariant(static_cast<double>(r.redValue)), QVariant(r.tries()), QVariant(r.points()),
          QVariant(QLatin1String(endingName(r.ending)))})
        q.addBindValue(v);
    if (!q.exec())
        return false;
    const QVariant roundId = q.lastInsertId();
    q.prepare(QStringLiteral("INSERT INTO guesses VALUES (?, ?, ?, ?)"));
    for (size_t i = 0; i < r.guesses.size(); ++i) {
        q.addBindValue(roundId);
        q.addBindValue(static_cast<int>(i + 1));
        q.addBindValue(QString::fromStdString(r.guesses[i].answer));
        q.addBindValue(QLatin1String(verdictName(r.guesses[i].verdict)));
        if (!q.exec())
            return false;
    }
    return true;
}

std::vector<RoundRecord> RecordStore::readAll() {
    std::vector<RoundRecord> rounds;
    if (!open())
        return rounds;
    QSqlDatabase db = QSqlDatabase::database(connection_);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    std::map<qint64, size_t> byId;
    if (!q.exec(QStringLiteral(
            "SELECT r.id, g.token, g.started_at, r.started_at, r.ended_at, r.score_before,"
            " r.score_after, r.low_bound, r.high_bound, r.red_value, r.ending"
            " FROM rounds r JOIN games g ON g.id = r.game_id ORDER BY r.id")))
        return rounds;
    while (q.next()) {
        RoundRecord r;
        r.gameToken = q.value(1).toString();
        r.gameStarted = QDateTime::fromMSecsSinceEpoch(q.value(2).toLongLong());
        r.started = QDateTime::fromMSecsSinceEpoch(q.value(3).toLongLong());
        r.ended = QDateTime::fromMSecsSinceEpoch(q.value(4).toLongLong());
        r.scoreBefore = q.value(5).toInt();
        r.scoreAfter = q.value(6).toInt();
        r.lowBound = q.value(7).toDouble();
        r.highBound = q.value(8).toDouble();
        r.redValue = static_cast<float>(q.value(9).toDouble());
        r.ending = endingFromName(q.value(10).toString()).value_or(Ending::ProgramEnd);
        byId[q.value(0).toLongLong()] = rounds.size();
        rounds.push_back(std::move(r));
    }
    if (q.exec(QStringLiteral(
            "SELECT round_id, answer, verdict FROM guesses ORDER BY round_id, position")))
        while (q.next()) {
            const auto found = byId.find(q.value(0).toLongLong());
            if (found != byId.end())
                rounds[found->second].guesses.push_back(
                    {q.value(1).toString().toStdString(),
                     verdictFromName(q.value(2).toString()).value_or(Verdict::Outside)});
        }
    return rounds;
}

bool RecordStore::forget() {
    if (!open())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_);
    QSqlQuery q(db);
    for (const char* statement : {"BEGIN IMMEDIATE", "DELETE FROM guesses", "DELETE FROM rounds",
                                  "DELETE FROM games", "COMMIT"})
        if (!q.exec(QString::fromLatin1(statement))) {
            fail(classify(sqliteCode(q.lastError())), q.lastError().databaseText());
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    // Erased means erased: no copy left in the log or in free pages.
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    q.exec(QStringLiteral("VACUUM"));
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return true;
}

void RecordStore::limitPagesForTest(int pages) {
    if (open())
        QSqlQuery(QSqlDatabase::database(connection_))
            .exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
}

} // namespace quiltaro
