#include "RecordStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace quiltaro {

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

} // namespace

// The answers outside the interval have an index of their own, so that the
// teacher's window counts them without reading every guess of the record: at
// 10,000 games, some 55,000 entries instead of 900,000 rows. It is not a step
// of the schema: a copy of the game from before it takes such a record as it
// is, and SQLite keeps the index up to date for it too. A record that cannot
// take it now (another copy writing, a full disk) is read without it.
void RecordStore::indexOutsideAnswers() {
    // Where the index is there already, this neither writes nor waits for
    // another copy's lock.
    QSqlQuery q(QSqlDatabase::database(connection()));
    q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS guesses_outside ON guesses(round_id)"
                          " WHERE verdict = '%1'")
               .arg(QLatin1String(verdictName(Verdict::Outside))));
    // So are the verdicts this version does not know, which a newer one may
    // write (SQLite keeps the index for it): almost always none, found
    // without reading the guesses.
    q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON guesses(round_id)"
                          " WHERE verdict NOT IN (%2)")
               .arg(QLatin1String(unknownVerdictsIndex), knownVerdictsSql()));
}

bool RecordStore::migrate() {
    QSqlDatabase db = QSqlDatabase::database(connection());
    QSqlQuery q(db);
    auto failWith = [&](const QSqlError& error) { return abandonTransaction(q, error); };
    if (version_ == schemaVersion)
        return true;
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failWith(q.lastError());
    // Read again inside the transaction: another copy may have migrated meanwhile.
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return failWith(q.lastError());
    int version = q.value(0).toInt();
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
        // A scan that stopped on a damaged page ends like one that is done.
        if (rounds.lastError().isValid())
            return failWith(rounds.lastError());
        rounds.finish();
        for (const char* statement : {"ALTER TABLE rounds DROP COLUMN guesses",
                                      "CREATE INDEX rounds_by_game ON rounds(game_id)"})
            if (!q.exec(QString::fromLatin1(statement)))
                return failWith(q.lastError());
        version = 2;
    }
    if (version < 3) {
        // Games played before pupils had names keep an empty one: whoever
        // reads them knows best whose record it was.
        if (!q.exec(QStringLiteral("ALTER TABLE games ADD COLUMN pupil TEXT NOT NULL DEFAULT ''")))
            return failWith(q.lastError());
        version = 3;
    }
    if (version < 4) {
        // Whether each round is on the class's server yet: those that are
        // not go at the next chance. Rounds from before the server are sent
        // too, the first time one is configured.
        for (const char* statement :
             {"ALTER TABLE rounds ADD COLUMN sent INTEGER NOT NULL DEFAULT 0",
              "CREATE INDEX rounds_unsent ON rounds(id) WHERE sent = 0"})
            if (!q.exec(QString::fromLatin1(statement)))
                return failWith(q.lastError());
        version = 4;
    }
    if (version < 5) {
        // Rounds from before levels keep neither: the score alone chose
        // their kind, and readers take it from there.
        for (const char* statement : {"ALTER TABLE rounds ADD COLUMN kind TEXT",
                                      "ALTER TABLE rounds ADD COLUMN level TEXT"})
            if (!q.exec(QString::fromLatin1(statement)))
                return failWith(q.lastError());
        version = 5;
    }
    if (version < 6) {
        // A round's id is never given again once the round is erased, so
        // that a mark made for an erased round (sent to the class's server)
        // cannot land on a new one. Only a table made so can say it: the
        // rounds move to one, their ids kept. Foreign keys are off here.
        const QString columns = QStringLiteral(
            "id, game_id, started_at, ended_at, score_before, score_after, low_bound,"
            " high_bound, red_value, tries, points, ending, sent, kind, level");
        for (const QString& statement :
             {QStringLiteral("CREATE TABLE rounds_kept ("
                             " id INTEGER PRIMARY KEY AUTOINCREMENT,"
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
                             " sent INTEGER NOT NULL DEFAULT 0,"
                             " kind TEXT,"
                             " level TEXT)"),
              QStringLiteral("INSERT INTO rounds_kept (%1) SELECT %1 FROM rounds").arg(columns),
              QStringLiteral("DROP TABLE rounds"),
              QStringLiteral("ALTER TABLE rounds_kept RENAME TO rounds"),
              QStringLiteral("CREATE INDEX rounds_by_game ON rounds(game_id)"),
              QStringLiteral("CREATE INDEX rounds_unsent ON rounds(id) WHERE sent = 0")})
            if (!q.exec(statement))
                return failWith(q.lastError());
        version = 6;
    }
    if (version < 7) {
        // A game is one pupil's, so one class's: its rounds take the class
        // from it, as they take the pupil. Games from before keep none.
        if (!q.exec(
                QStringLiteral("ALTER TABLE games ADD COLUMN class_name TEXT NOT NULL DEFAULT ''")))
            return failWith(q.lastError());
        version = 7;
    }
    if (!q.exec(QStringLiteral("PRAGMA user_version = %1").arg(version)) ||
        !q.exec(QStringLiteral("COMMIT")))
        return failWith(q.lastError());
    version_ = version;
    return true;
}

} // namespace quiltaro
