#include "Export.h"

#include "ClassRecord.h"
#include "FrenchCsv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <cerrno>

#include <unistd.h>

namespace quiltaro {

namespace {

// Whether a file is a database, or a log of one: an export never replaces it.
bool isDatabase(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(16);
    static const QByteArray walMagic[] = {QByteArray::fromHex("377f0682"),
                                          QByteArray::fromHex("377f0683")};
    return head == QByteArray("SQLite format 3\0", 16) || head.startsWith(walMagic[0]) ||
           head.startsWith(walMagic[1]);
}

// Whether `file` is a record or one of the files SQLite keeps beside it,
// whatever the path says (a link, another spelling).
bool isPartOfRecord(const QString& file, const QStringList& records) {
    const QFileInfo target(file);
    if (!target.exists())
        return false;
    for (const QString& record : records)
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            const QFileInfo part(record + QLatin1String(suffix));
            if (part.exists() && part.canonicalFilePath() == target.canonicalFilePath())
                return true;
        }
    return false;
}

// Why a write failed, in the teacher's words rather than the C library's.
QString writeFailure(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("le disque est plein");
    case EFBIG:
        return QStringLiteral("le fichier dépasserait la taille permise");
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("écriture interdite à cet endroit");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("le dossier n'existe pas");
    case EISDIR:
        return QStringLiteral("c'est un dossier");
    default:
        return QStringLiteral("erreur d'écriture");
    }
}

} // namespace

int exportCsv(const QStringList& sources, const QString& file, QTextStream& err) {
    auto cannotWrite = [&](const QString& why) {
        err << QStringLiteral("quiltaro : impossible d'écrire %1 (%2).")
                   .arg(file == QLatin1String("-") ? QStringLiteral("sur la sortie standard")
                                                   : QDir::toNativeSeparators(file),
                        why)
            << Qt::endl;
        return 1;
    };
    QStringList problems;
    const QStringList records =
        findRecords(sources.isEmpty() ? defaultSources() : sources, &problems);
    if (file != QLatin1String("-") && (isPartOfRecord(file, records) || isDatabase(file))) {
        err << QStringLiteral("quiltaro : %1 est une base de données%2 : l'export ne l'écrase "
                              "pas. Choisissez un autre nom de fichier, par exemple "
                              "resultats.csv.")
                   .arg(QDir::toNativeSeparators(file),
                        isPartOfRecord(file, records)
                            ? QStringLiteral(" (celle où les résultats sont enregistrés)")
                            : QString())
            << Qt::endl;
        return 1;
    }
    const ClassRecord merged = readClass(records);
    problems += merged.problems;
    // What could be read is exported all the same, and what could not is said.
    auto told = [&] {
        for (const QString& problem : problems)
            err << QStringLiteral("quiltaro : %1.").arg(problem) << Qt::endl;
        return problems.isEmpty() ? 0 : 1;
    };
    if (file == QLatin1String("-")) {
        // Straight to the descriptor, unbuffered: a full disk or /dev/full
        // answers the write itself.
        QFile out;
        if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered))
            return cannotWrite(writeFailure(errno));
        errno = 0;
        QTextStream text(&out);
        writeFrenchCsv(merged.pupils, text);
        if (text.status() != QTextStream::Ok || out.error() != QFileDevice::NoError)
            return cannotWrite(writeFailure(errno));
        return told();
    }
    // Written aside and renamed at the end: an interrupted export never
    // leaves half a file where a whole one was.
    QSaveFile out(file);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly))
        return cannotWrite(writeFailure(errno));
    QTextStream text(&out);
    writeFrenchCsv(merged.pupils, text);
    if (text.status() != QTextStream::Ok)
        out.cancelWriting();
    if (!out.commit())
        return cannotWrite(writeFailure(errno));
    return told();
}

} // namespace quiltaro
