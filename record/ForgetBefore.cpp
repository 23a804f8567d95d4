#include "ClassLists.h"
#include "Forgetting.h"

#include "RecordReading.h"
#include "RecordStore.h"
#include "Spill.h"
#include "SqliteConnection.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QVariant>

namespace quiltaro {

namespace {

// The login's record and its pupils' records.
QStringList recordsOfLogin(const QString& recordPath) {
    return QStringList{recordPath} + pupilRecordsBeside(recordPath, true);
}

// Rounds kept aside beside a record go in first, so that the old ones among
// them go with the rest; the record is brought to this program's schema.
bool takeLeftoversIn(const QString& record, QTextStream& out) {
    ProblemReport report([&out](const QString& text) { out << text << Qt::endl; });
    RecordStore store(record, report);
    bool taken = true;
    for (Spill::Leftover& leftover : Spill::leftovers(record)) {
        const bool written = store.writeRecovered(leftover.rounds);
        Spill::finish(leftover, written);
        taken = written && taken;
    }
    return taken;
}

// Runs `sql`; false with SQLite's words on `out` when it failed or, for a
// checkpoint, when the log could not be emptied (another copy reads it).
bool step(QSqlQuery& q, const QString& sql, qint64 before, const QString& record,
          QTextStream& out) {
    q.prepare(sql);
    if (sql.contains(QLatin1Char('?')))
        q.addBindValue(before);
    bool ok = q.exec();
    if (ok && sql.contains(QLatin1String("wal_checkpoint")))
        ok = q.next() && q.value(0).toInt() == 0;
    if (!ok)
        out << QStringLiteral("quiltaro : %1 : « %2 » a échoué%3.")
                   .arg(QDir::toNativeSeparators(record), sql.section(QLatin1Char(' '), 0, 1),
                        q.lastError().isValid()
                            ? QStringLiteral(" (%1)").arg(q.lastError().databaseText())
                            : QStringLiteral(" (le journal est encore lu par une autre copie)"))
            << Qt::endl;
    q.finish();
    return ok;
}

// Erases from one record the rounds begun before `before`, then what is left
// of them in the log and the free pages.
bool eraseBefore(const QString& record, qint64 before, QTextStream& out) {
    return withSqliteConnection(QStringLiteral("forget-before"), [&](QSqlDatabase& db) {
        db.setDatabaseName(record);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            out << QStringLiteral("quiltaro : %1 ne s'ouvre pas (%2).")
                       .arg(QDir::toNativeSeparators(record), db.lastError().databaseText())
                << Qt::endl;
            return false;
        }
        QSqlQuery q(db);
        const QStringList erase = {
            QStringLiteral("BEGIN IMMEDIATE"),
            QStringLiteral("DELETE FROM guesses WHERE round_id IN"
                           " (SELECT id FROM rounds WHERE started_at < ?)"),
            QStringLiteral("DELETE FROM rounds WHERE started_at < ?"),
            QStringLiteral("DELETE FROM games WHERE started_at < ? AND id NOT IN"
                           " (SELECT game_id FROM rounds)"),
            QStringLiteral("COMMIT")};
        for (const QString& sql : erase)
            if (!step(q, sql, before, record, out)) {
                QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
                return false;
            }
        // Erased means erased: no copy left in the log or in free pages.
        bool clean = true;
        for (const char* sql :
             {"PRAGMA wal_checkpoint(TRUNCATE)", "VACUUM", "PRAGMA wal_checkpoint(TRUNCATE)"})
            clean = step(q, QLatin1String(sql), before, record, out) && clean;
        return clean;
    });
}

} // namespace

int forgetBefore(const QString& recordPath, const QDateTime& before, QTextStream& in,
                 QTextStream& out, const ErasureElsewhere& elsewhere) {
    const QString day = before.date().toString(QStringLiteral("dd/MM/yyyy"));
    QStringList withOld;
    qint64 old = 0;
    for (const QString& record : recordsOfLogin(recordPath)) {
        qint64 here = 0;
        for (const RoundRecord& round : readRecord(record).rounds)
            here += round.started < before ? 1 : 0;
        for (const Spill::Leftover& leftover : Spill::leftovers(record))
            for (const RoundRecord& round : leftover.rounds)
                here += round.started < before ? 1 : 0;
        if (here > 0)
            withOld << record;
        old += here;
    }
    if (old == 0 && !elsewhere.erase) {
        out << QStringLiteral("Aucune manche jouée avant le %1 n'est enregistrée : il n'y a rien "
                              "à effacer.")
                   .arg(day)
            << Qt::endl;
        return 0;
    }
    out << QStringLiteral("Effacer les manches jouées avant le %1 : %2 sur ce poste%3 ?\n"
                          "Cela ne peut pas être annulé. Tapez oui pour confirmer : ")
               .arg(day, QString::number(old),
                    elsewhere.erase ? QStringLiteral(", et celles %1").arg(elsewhere.where)
                                    : QString())
        << Qt::flush;
    if (in.readLine().trimmed().toLower() != QLatin1String("oui")) {
        out << "Rien n'a été effacé." << Qt::endl;
        return 1;
    }
    bool erased = true;
    for (const QString& record : withOld)
        erased = takeLeftoversIn(record, out) &&
                 eraseBefore(record, before.toMSecsSinceEpoch(), out) && erased;
    out << (erased ? QStringLiteral("Les manches d'avant le %1 sur ce poste ont été effacées.")
                   : QStringLiteral("Les manches d'avant le %1 sur ce poste n'ont pas pu être "
                                    "effacées en entier."))
               .arg(day)
        << Qt::endl;
    if (elsewhere.erase)
        erased = elsewhere.erase(out, {}) && erased;
    return erased ? 0 : 1;
}

} // namespace quiltaro
