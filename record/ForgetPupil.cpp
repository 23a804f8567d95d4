#include "Forgetting.h"

#include "ClassName.h"
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

// A pupil's folder, and the class it is kept under: empty for eleves/<Prénom>/,
// where the pupils of classe.txt keep theirs.
struct PupilFolder {
    QString path;
    QString className;
};

// The folders named as the game names `pupil`'s, beside the login's record:
// eleves/<Prénom>/ and eleves/<Classe>/<Prénom>/ of every class.
std::vector<PupilFolder> foldersOf(const QString& recordPath, const QString& pupil) {
    const QDir pupils(QFileInfo(recordPath).dir().filePath(pupilsFolder));
    const QString name = folderName(pupil);
    std::vector<PupilFolder> found;
    if (QFileInfo(pupils.filePath(name)).isDir() &&
        !QDir(pupils.filePath(name)).entryList(QDir::Files).isEmpty())
        found.push_back({pupils.filePath(name), QString()});
    for (const QString& c : pupils.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (const QString inside = pupils.filePath(c) + QLatin1Char('/') + name;
            QFileInfo(inside).isDir())
            found.push_back({inside, c});
    return found;
}

// The folders of `pupil` of `className` (any when empty). classe.txt's
// folder is the class's of quiltaro.conf, or of no name.
std::vector<PupilFolder> foldersIn(const std::vector<PupilFolder>& all, const QString& className) {
    std::vector<PupilFolder> kept;
    const QString firstList = configuredClass().name;
    for (const PupilFolder& f : all)
        if (className.isEmpty() ||
            sameClass(f.className.isEmpty() ? firstList : f.className, className))
            kept.push_back(f);
    return kept;
}

// The classes a pupil's folders are in, as they are told.
QStringList classesOf(const std::vector<PupilFolder>& folders) {
    QStringList classes;
    const QString firstList = configuredClass().name;
    for (const PupilFolder& f : folders) {
        const QString c = f.className.isEmpty() ? firstList : f.className;
        classes << (c.isEmpty() ? QStringLiteral("la liste classe.txt") : c);
    }
    classes.removeDuplicates();
    return classes;
}

// Removes a pupil's folder while holding the write lock of the record in
// it. A game still open on that record has then either finished writing its
// round, which goes with the rest, or finds, once it gets the lock, that its
// file is gone and starts a new one: no round played after the teacher
// confirmed is lost.
bool removeUnderWriteLock(const QString& folder, const QString& record) {
    // The files only: a pupil named like a class keeps that class's folders.
    const auto removeFolder = [&folder] {
        QDir dir(folder);
        bool removed = true;
        for (const QString& file : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
            removed = dir.remove(file) && removed;
        dir.rmdir(QStringLiteral("."));
        QDir().rmdir(folder);
        return removed;
    };
    if (!QFileInfo::exists(record))
        return removeFolder();
    return withSqliteConnection(QStringLiteral("forget"), [&](QSqlDatabase& db) {
        db.setDatabaseName(record);
        // A game holds the lock for the few milliseconds of one round.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        // A damaged file gives no lock, and no game writes it: removed all the same.
        const bool locked = db.open() && QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE"));
        const bool removed = removeFolder();
        if (locked)
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return removed;
    });
}

} // namespace

QStringList pupilsBeside(const QString& recordPath) {
    QStringList pupils;
    const QString under = QFileInfo(recordPath).dir().filePath(pupilsFolder) + QLatin1Char('/');
    for (const QString& record : pupilRecordsBeside(recordPath, true)) {
        const QStringList parts = record.mid(under.size()).split(QLatin1Char('/'));
        pupils << (parts.size() > 2 ? QStringLiteral("%1 (%2)").arg(parts[1], parts[0]) : parts[0]);
    }
    return pupils;
}

QStringList classesOfPupil(const QString& recordPath, const QString& pupil) {
    const auto folders = foldersOf(recordPath, pupil.normalized(QString::NormalizationForm_C));
    QStringList classes;
    const QString firstList = configuredClass().name;
    for (const PupilFolder& f : folders)
        classes << (f.className.isEmpty() ? firstList : f.className);
    classes.removeDuplicates();
    return classes;
}

int forgetPupil(const QString& recordPath, const QString& typedName, QTextStream& in,
                QTextStream& out, const ErasureElsewhere& elsewhere, const QString& className) {
    // Names are kept composed (é as one character); a terminal may send the
    // accent as a mark of its own.
    const QString pupil = typedName.normalized(QString::NormalizationForm_C);
    const std::vector<PupilFolder> all = foldersOf(recordPath, pupil);
    const std::vector<PupilFolder> folders = foldersIn(all, className);
    // A pupil is a first name within a class: two Léa are two children.
    if (const QStringList classes = classesOf(folders); classes.size() > 1) {
        out << QStringLiteral("« %1 » est un élève de plusieurs classes (%2) : dites laquelle, "
                              "par exemple quiltaro --forget \"%1\" --class \"%3\". Rien n'a "
                              "été effacé.")
                   .arg(pupil, classes.join(QStringLiteral(", ")), classes.front())
            << Qt::endl;
        return 1;
    }
    if (!className.isEmpty() && folders.empty() && !all.empty()) {
        out << QStringLiteral("« %1 » n'a pas de résultats dans la classe %2 sur ce poste, mais "
                              "dans : %3. Rien n'a été effacé.")
                   .arg(pupil, className, classesOf(all).join(QStringLiteral(", ")))
            << Qt::endl;
        return 1;
    }
    const bool ownFolder = !folders.empty();
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
    // Her class, when she has one: the teacher confirms the right child.
    const QString ofClass = folders.empty()                       ? className
                            : folders.front().className.isEmpty() ? configuredClass().name
                                                                  : folders.front().className;
    out << QStringLiteral("Effacer tous les résultats de « %1 »%2%3 ? Ceux des autres élèves "
                          "restent.\nCela ne peut pas être annulé. Tapez le prénom de l'élève, "
                          "%1, pour confirmer : ")
               .arg(pupil, ofClass.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(ofClass),
                    elsewhere.erase ? QStringLiteral(", sur ce poste et %1").arg(elsewhere.where)
                                    : QString())
        << Qt::flush;
    if (in.readLine().trimmed().normalized(QString::NormalizationForm_C) != pupil) {
        out << "Rien n'a été effacé." << Qt::endl;
        return 1;
    }
    bool erased = true;
    // The pupil's record, its log, the rounds kept beside it, the damaged
    // copies: the whole folder.
    for (const PupilFolder& folder : folders) {
        erased =
            removeUnderWriteLock(folder.path, folder.path + QLatin1Char('/') +
                                                  QFileInfo(pupilRecordPath(pupil)).fileName()) &&
            erased;
        // A class's folder goes with its last pupil.
        if (!folder.className.isEmpty())
            QDir().rmdir(QFileInfo(folder.path).path());
    }
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
