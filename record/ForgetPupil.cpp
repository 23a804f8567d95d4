#include "Forgetting.h"

#include "Pupils.h"
#include "RecordReading.h"
#include "RecordStore.h"
#include "Spill.h"
#include "SqliteConnection.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>
#include <QTextStream>

namespace quiltaro {

namespace {

const QString pupilsFolder = QStringLiteral("eleves");

// The folder of one pupil's record, beside the login's record: named as the
// game names it.
QString folderOf(const QString& recordPath, const QString& pupil) {
    const QString name = QFileInfo(pupilRecordPath(pupil)).dir().dirName();
    return QFileInfo(recordPath).dir().filePath(pupilsFolder + QLatin1Char('/') + name);
}

// Removes a pupil's folder while holding the write lock of the record in
// it. A game still open on that record has then either finished writing its
// round, which goes with the rest, or finds, once it gets the lock, that its
// file is gone and starts a new one: no round played after the teacher
// confirmed is lost.
bool removeUnderWriteLock(const QString& folder, const QString& record) {
    if (!QFileInfo::exists(record))
        return QDir(folder).removeRecursively();
    return withSqliteConnection(QStringLiteral("forget"), [&](QSqlDatabase& db) {
        db.setDatabaseName(record);
        // A game holds the lock for the few milliseconds of one round.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        // A damaged file gives no lock, and no game writes it: removed all the same.
        const bool locked = db.open() && QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE"));
        const bool removed = QDir(folder).removeRecursively();
        if (locked)
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return removed;
    });
}

} // namespace

QStringList pupilsBeside(const QString& recordPath) {
    const QDir folder(QFileInfo(recordPath).dir().filePath(pupilsFolder));
    return folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::LocaleAware);
}

int forgetPupil(const QString& recordPath, const QString& typedName, QTextStream& in,
                QTextStream& out, const ErasureElsewhere& elsewhere) {
    // Names are kept composed (é as one character); a terminal may send the
    // accent as a mark of its own.
    const QString pupil = typedName.normalized(QString::NormalizationForm_C);
    const QString folder = folderOf(recordPath, pupil);
    const bool ownFolder = QFileInfo(folder).isDir();
    // The login's own record names its pupil too: the account's, or rounds
    // played before the class list.
    QSet<QString> gamesInLogin;
    for (const RoundRecord& round : readRecord(recordPath).rounds)
        if (round.pupil == pupil)
            gamesInLogin.insert(round.gameToken);
    // Nothing here, but the server may hold rounds played elsewhere.
    if (!ownFolder && gamesInLogin.isEmpty() && !elsewhere.erase) {
        out << QStringLiteral("Aucun résultat n'est enregistré au nom de « %1 » : il n'y a rien "
                              "à effacer.")
                   .arg(pupil);
        const QStringList known = pupilsBeside(recordPath);
        if (!known.isEmpty())
            out << QStringLiteral("\nÉlèves dont des résultats sont enregistrés ici : %1.")
                       .arg(known.join(QStringLiteral(", ")));
        out << Qt::endl;
        return 1;
    }
    out << QStringLiteral("Effacer tous les résultats de « %1 »%2 ? Ceux des autres élèves "
                          "restent.\nCela ne peut pas être annulé. Tapez le prénom de l'élève, "
                          "%1, pour confirmer : ")
               .arg(pupil, elsewhere.erase
                               ? QStringLiteral(", sur ce poste et %1").arg(elsewhere.where)
                               : QString())
        << Qt::flush;
    if (in.readLine().trimmed().normalized(QString::NormalizationForm_C) != pupil) {
        out << "Rien n'a été effacé." << Qt::endl;
        return 1;
    }
    bool erased = true;
    // The pupil's record, its log, the rounds kept beside it, the damaged
    // copies: the whole folder.
    if (ownFolder)
        erased = removeUnderWriteLock(folder, folder + QLatin1Char('/') +
                                                  QFileInfo(pupilRecordPath(pupil)).fileName());
    if (!gamesInLogin.isEmpty()) {
        ProblemReport report([&out](const QString& text) { out << text << Qt::endl; });
        RecordStore store(recordPath, report);
        // Rounds kept beside the login's record go in first, so that the
        // pupil's among them go with the rest.
        for (Spill::Leftover& leftover : Spill::leftovers(recordPath)) {
            const bool written = store.writeRecovered(leftover.rounds);
            Spill::finish(leftover, written);
            erased = written && erased;
        }
        erased = store.forgetPupil(pupil) && erased;
    }
    out << (erased ? QStringLiteral("Les résultats de « %1 » sur ce poste ont été effacés.")
                   : QStringLiteral("Les résultats de « %1 » sur ce poste n'ont pas pu être "
                                    "effacés en entier."))
               .arg(pupil)
        << Qt::endl;
    // Once nothing here can send them again.
    if (elsewhere.erase)
        erased = elsewhere.erase(out, gamesInLogin) && erased;
    return erased ? 0 : 1;
}

} // namespace quiltaro
