#include "RecordStore.h"

#include "SqliteErrors.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

#include <sqlite3.h>

namespace quiltaro {

ProblemReport::ProblemReport()
    : sink_([](const QString& text) {
          std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
          std::fflush(stderr);
      }) {}

void ProblemReport::tell(Problem problem, const QString& text) {
    // The record is written on a thread of its own; the tests read what it told.
    const std::lock_guard lock(mutex_);
    if (!told_.insert(problem).second)
        return;
    if (sink_)
        sink_(text);
    if (watch_)
        watch_(problem, text);
}

// Told from the thread that keeps rounds aside, while the writer's uses the
// store: nothing of the store's state is touched, only its report.
void RecordStore::tellNothingKept() {
    report_.tell(
        Problem::NothingKept,
        QStringLiteral("quiltaro : les manches ne peuvent être ni enregistrées dans %1, ni "
                       "gardées à côté en attendant (disque plein, dossier en lecture seule ou "
                       "taille de fichier limitée). Elles ne sont qu'en mémoire, et seront perdues "
                       "si le jeu se ferme avant de pouvoir les écrire : libérez de la place sur "
                       "le disque ou rendez le dossier %2 modifiable, puis relancez le jeu.")
            .arg(QDir::toNativeSeparators(path_),
                 QDir::toNativeSeparators(QFileInfo(path_).absolutePath())));
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
                              "nom %2, et un nouveau fichier a été commencé ; %3.")
                   .arg(where, QDir::toNativeSeparators(setAside_), detail);
        break;
    case Problem::NewerSchema:
        text = QStringLiteral("quiltaro : le fichier %1 vient d'une version plus récente de "
                              "Quiltaro ; celle-ci ne peut pas y écrire. Le jeu continue sans "
                              "enregistrer les parties.")
                   .arg(where);
        break;
    case Problem::NothingKept: // told by the thread that keeps rounds aside
    case Problem::Other:
        text = QStringLiteral("quiltaro : une manche n'a pas pu être enregistrée dans %1 (%2). "
                              "Le jeu continue ; elle le sera dès que possible.")
                   .arg(where, detail);
        break;
    }
    report_.tell(problem, text);
}

bool RecordStore::abandonTransaction(QSqlQuery& query, const QSqlError& error) {
    query.finish();
    QSqlQuery(QSqlDatabase::database(connection())).exec(QStringLiteral("ROLLBACK"));
    failed(error);
    return false;
}

bool RecordStore::failed(const QSqlError& error) {
    switch (causeOf(error, path_)) {
    case Cause::Busy:
        fail(Problem::Locked, QString());
        return true;
    case Cause::NoRoom:
        fail(Problem::DiskFull, QString());
        return true;
    case Cause::Unwritable:
        fail(Problem::Unwritable,
             QStringLiteral("le fichier ou son dossier ne peut pas être modifié"));
        // A file that cannot be opened now may be opened in a moment: too
        // many files open, a home on the school's server that hiccups.
        if ((extendedCode(error) & 0xff) == SQLITE_CANTOPEN) {
            closeConnection();
            return true;
        }
        disabled_ = true;
        return false;
    case Cause::Corrupt:
        corruptSeen_ = true;
        return true;
    case Cause::Interrupted:
        return true;
    case Cause::Moved:
        // Another copy set the file aside: the next attempt opens the new one.
        closeConnection();
        return true;
    case Cause::SharedMemory:
    case Cause::Io:
        fail(Problem::Other, QStringLiteral("erreur de lecture ou d'écriture sur le disque"));
        return true;
    case Cause::None:
    case Cause::Other:
        fail(Problem::Other, QStringLiteral("erreur de SQLite n° %1").arg(extendedCode(error)));
        return true;
    }
    return true;
}

} // namespace quiltaro
