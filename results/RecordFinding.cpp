#include "ClassRecord.h"

#include "ClassLists.h"
#include "Pupils.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <set>

// Where a class's records are: the login's own and its pupils', or the
// folders a teacher names, searched through.
namespace quiltaro {

namespace {

const QString recordName = QStringLiteral("record.sqlite");

} // namespace

QStringList defaultSources() {
    const QString own = RecordStore::defaultPath();
    QStringList sources = {own};
    if (loginClassLists(configuredClass().name).empty())
        return sources;
    sources << pupilRecordsBeside(own);
    QDir pupils(QFileInfo(own).path() + QStringLiteral("/eleves"));
    for (const QString& folder : pupils.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (!QFileInfo(pupils.filePath(folder)).isExecutable())
            sources << pupils.filePath(folder); // searched, and said to be closed
    return sources;
}

// A record the game found damaged was moved beside the new one, never
// deleted: the teacher hears of it as long as it is there.
QStringList setAsideBeside(const QString& recordPath) {
    const QFileInfo record(recordPath);
    QStringList told;
    for (const QString& name : record.dir().entryList(
             {record.fileName() + QStringLiteral(".abime-*")}, QDir::Files, QDir::Name)) {
        if (name.endsWith(QStringLiteral("-wal")))
            continue;
        told << QStringLiteral("un fichier abîmé a été mis de côté : %1 ; ce qui a pu en être "
                               "lu est repris dans %2. Gardez-le pour l'assistance, ou "
                               "effacez-le une fois les résultats vérifiés")
                    .arg(QDir::toNativeSeparators(record.dir().filePath(name)),
                         QDir::toNativeSeparators(recordPath));
    }
    return told;
}

namespace {

// Folders under `source` that this login may not open: a pupil's folder that
// belongs to another account hides that pupil's rounds.
QStringList closedFolders(const QString& source) {
    QStringList closed;
    QDirIterator it(source, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    QStringList folders{source};
    while (it.hasNext())
        folders << it.next();
    for (const QString& folder : folders) {
        const QFileInfo info(folder);
        if (!info.isSymLink() && (!info.isReadable() || !info.isExecutable()))
            closed << QStringLiteral("le dossier %1 ne peut pas être ouvert par ce compte : les "
                                     "résultats qu'il contient ne sont pas lus")
                          .arg(QDir::toNativeSeparators(folder));
    }
    return closed;
}

} // namespace

QStringList findRecords(const QStringList& sources, QStringList* problems) {
    QStringList files;
    std::set<QString> seen;
    auto add = [&](const QString& path) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (seen.insert(canonical.isEmpty() ? path : canonical).second)
            files << path;
    };
    for (const QString& source : sources) {
        const QFileInfo info(source);
        if (info.isDir()) {
            QStringList found;
            // Links are not followed: a home may link to the whole disk.
            QDirIterator it(source, {recordName}, QDir::Files | QDir::Hidden,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                found << it.next();
            std::sort(found.begin(), found.end());
            for (const QString& f : found)
                add(f);
            const QStringList closed = closedFolders(source);
            if (problems)
                *problems << closed;
            if (found.isEmpty() && closed.isEmpty() && problems)
                *problems << QStringLiteral("aucun fichier de résultats (record.sqlite) dans %1")
                                 .arg(QDir::toNativeSeparators(source));
        } else if (info.exists()) {
            add(source);
        } else if (source == RecordStore::defaultPath()) {
            // The login's own record, not made yet: nothing to say.
        } else if (problems) {
            *problems << QStringLiteral("%1 n'existe pas").arg(QDir::toNativeSeparators(source));
        }
    }
    return files;
}

QString pupilOfRecord(const QString& recordPath, const QString& ownRecord) {
    const QFileInfo record(recordPath);
    if (!ownRecord.isEmpty() &&
        record.absoluteFilePath() == QFileInfo(ownRecord).absoluteFilePath())
        return accountPupilName();
    const QStringList parts =
        QDir::cleanPath(record.absoluteFilePath()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // .../<login>/.local/share/quiltaro/record.sqlite, as a home keeps it.
    const qsizetype local = parts.lastIndexOf(QStringLiteral(".local"));
    if (local >= 1 && local == parts.size() - 4 && parts[local + 1] == QLatin1String("share"))
        return parts[local - 1];
    // .../eleves/<name>/record.sqlite, or a folder the teacher named after
    // the pupil on a key.
    if (parts.size() >= 2) {
        const QString folder = parts[parts.size() - 2];
        if (folder != QLatin1String("quiltaro") && !folder.startsWith(QLatin1Char('.')))
            return folder;
    }
    return QStringLiteral("Sans nom");
}

QString classOfRecord(const QString& recordPath) {
    const QStringList parts = QDir::cleanPath(QFileInfo(recordPath).absoluteFilePath())
                                  .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() >= 4 && parts[parts.size() - 4] == QLatin1String("eleves"))
        return parts[parts.size() - 3];
    return {};
}

} // namespace quiltaro
