#include "Commands.h"

#include "RecordReading.h"
#include "RecordStore.h"
#include "Results.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <vector>

#include <unistd.h>

namespace quiltaro {

int showResults(int argc, char** argv) {
    const QString dir =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
    // Installed, then in a build tree.
    const QStringList candidates = {
        dir + QStringLiteral("/" QUILTARO_BIN_TO_LIBEXEC "/quiltaro-results"),
        dir + QStringLiteral("/../record/quiltaro-results")};
    for (const QString& candidate : candidates) {
        const QByteArray path = QFileInfo(candidate).absoluteFilePath().toLocal8Bit();
        if (!QFileInfo(candidate).isExecutable())
            continue;
        // Qt's own options (-display, -platform...) go along; ours stay behind.
        std::vector<char*> args = {const_cast<char*>(path.constData())};
        for (int i = 1; i < argc; ++i)
            if (std::string(argv[i]) != "--results")
                args.push_back(argv[i]);
        args.push_back(nullptr);
        execv(path.constData(), args.data());
    }
    std::fprintf(stderr, "quiltaro : la fenêtre des résultats ne peut pas s'ouvrir : le "
                         "programme quiltaro-results est introuvable.\n");
    return 1;
}

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

// Whether `file` is the record or one of the files SQLite keeps beside it,
// whatever the path says (a link, another spelling).
bool isPartOfRecord(const QString& file, const QString& recordPath) {
    const QFileInfo target(file);
    if (!target.exists())
        return false;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const QFileInfo part(recordPath + QLatin1String(suffix));
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

QString damagedRecordText(const QString& recordPath, size_t roundsRead, qint64 roundsClaimed) {
    const QString read = roundsRead == 0 ? QStringLiteral("aucune manche n'a pu être lue")
                         : roundsRead == 1
                             ? QStringLiteral("une seule manche a pu être lue")
                             : QStringLiteral("%1 manches ont pu être lues").arg(roundsRead);
    const QString claimed =
        roundsClaimed > qint64(roundsRead)
            ? QStringLiteral(" sur les %1 qu'il dit contenir").arg(roundsClaimed)
            : QString();
    return QStringLiteral("quiltaro : le fichier des résultats %1 est abîmé : %2%3. Au prochain "
                          "lancement du jeu, il sera mis de côté et ce qui peut en être lu "
                          "repris dans un nouveau fichier.")
        .arg(QDir::toNativeSeparators(recordPath), read, claimed);
}

int exportCsv(const QString& recordPath, const QString& file, QTextStream& err) {
    auto cannotWrite = [&](const QString& why) {
        err << QStringLiteral("quiltaro : impossible d'écrire %1 (%2).")
                   .arg(file == QLatin1String("-") ? QStringLiteral("sur la sortie standard")
                                                   : QDir::toNativeSeparators(file),
                        why)
            << Qt::endl;
        return 1;
    };
    if (file != QLatin1String("-") && (isPartOfRecord(file, recordPath) || isDatabase(file))) {
        err << QStringLiteral("quiltaro : %1 est une base de données%2 : l'export ne l'écrase "
                              "pas. Choisissez un autre nom de fichier, par exemple "
                              "resultats.csv.")
                   .arg(QDir::toNativeSeparators(file),
                        isPartOfRecord(file, recordPath)
                            ? QStringLiteral(" (celle où les résultats sont enregistrés)")
                            : QString())
            << Qt::endl;
        return 1;
    }
    const RecordContents record = readRecord(recordPath);
    switch (record.state) {
    case RecordContents::State::Newer:
        err << QStringLiteral("quiltaro : le fichier %1 vient d'une version plus récente de "
                              "Quiltaro, que celle-ci ne sait pas lire.")
                   .arg(QDir::toNativeSeparators(recordPath))
            << Qt::endl;
        return 1;
    case RecordContents::State::Unreadable:
        err << QStringLiteral("quiltaro : les résultats ne peuvent pas être lus dans %1 (%2).")
                   .arg(QDir::toNativeSeparators(recordPath), record.problem)
            << Qt::endl;
        return 1;
    case RecordContents::State::Missing:
    case RecordContents::State::Whole:
    case RecordContents::State::Damaged:
        break;
    }
    // What a damaged record still holds is exported all the same, and said.
    const int status = record.state == RecordContents::State::Damaged ? 1 : 0;
    auto damaged = [&] {
        if (status != 0)
            err << damagedRecordText(recordPath, record.rounds.size(), record.roundsClaimed)
                << Qt::endl;
        return status;
    };
    if (file == QLatin1String("-")) {
        // Straight to the descriptor, unbuffered: a full disk or /dev/full
        // answers the write itself.
        QFile out;
        if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered))
            return cannotWrite(writeFailure(errno));
        errno = 0;
        QTextStream text(&out);
        writeCsv(record.rounds, text);
        if (text.status() != QTextStream::Ok || out.error() != QFileDevice::NoError)
            return cannotWrite(writeFailure(errno));
        return damaged();
    }
    // Written aside and renamed at the end: an interrupted export never
    // leaves half a file where a whole one was.
    QSaveFile out(file);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly))
        return cannotWrite(writeFailure(errno));
    QTextStream text(&out);
    writeCsv(record.rounds, text);
    if (text.status() != QTextStream::Ok)
        out.cancelWriting();
    if (!out.commit())
        return cannotWrite(writeFailure(errno));
    return damaged();
}

int forget(const QString& recordPath, QTextStream& in, QTextStream& out) {
    // The class's pupils have records of their own, erased one at a time.
    const QStringList pupils = pupilsBeside(recordPath);
    if (!pupils.isEmpty())
        out << QStringLiteral("Les résultats des élèves de la classe (%1) sont enregistrés à part "
                              "et restent. Pour effacer ceux d'un élève : quiltaro --forget "
                              "PRÉNOM.")
                   .arg(pupils.join(QStringLiteral(", ")))
            << Qt::endl;
    const QFileInfo record(recordPath);
    const QStringList setAside =
        record.dir().entryList({record.fileName() + QStringLiteral(".abime-*"),
                                record.fileName() + QStringLiteral(".attente-*")},
                               QDir::Files);
    if (!record.exists() && setAside.isEmpty()) {
        out << (pupils.isEmpty()
                    ? QStringLiteral("Aucun résultat n'est enregistré : il n'y a rien à effacer.")
                    : QStringLiteral("Aucun résultat n'est enregistré au nom du compte : il n'y a "
                                     "rien à effacer."))
            << Qt::endl;
        return 0;
    }
    out << QStringLiteral("Effacer tous les résultats enregistrés dans %1 ?\n"
                          "Cela ne peut pas être annulé. Tapez oui pour confirmer : ")
               .arg(QDir::toNativeSeparators(record.absolutePath()))
        << Qt::flush;
    const QString answer = in.readLine().trimmed().toLower();
    if (answer != QLatin1String("oui")) {
        out << "Rien n'a été effacé." << Qt::endl;
        return 1;
    }
    bool erased = true;
    const RecordContents::State state = readRecord(recordPath).state;
    if (state == RecordContents::State::Damaged || state == RecordContents::State::Unreadable) {
        // Nothing of a damaged file is worth keeping once the teacher said so;
        // opening it as the game does would set it aside instead.
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            if (QFileInfo::exists(recordPath + QLatin1String(suffix)))
                erased = QFile::remove(recordPath + QLatin1String(suffix)) && erased;
    } else if (record.exists()) {
        ProblemReport report([&out](const QString& text) { out << text << Qt::endl; });
        RecordStore store(recordPath, report);
        erased = store.forget();
    }
    for (const QString& name :
         record.dir().entryList({record.fileName() + QStringLiteral(".abime-*"),
                                 record.fileName() + QStringLiteral(".attente-*")},
                                QDir::Files))
        erased = record.dir().remove(name) && erased;
    out << (erased ? "Les résultats ont été effacés." : "Les résultats n'ont pas pu être effacés.")
        << Qt::endl;
    return erased ? 0 : 1;
}

} // namespace quiltaro
