#include "Forgetting.h"

#include "RecordReading.h"
#include "RecordStore.h"
#include "Spill.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace quiltaro {

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

namespace {

// The games of the record and of the rounds kept aside beside it: what the
// class's server holds of this login.
QSet<QString> gamesOf(const QString& recordPath) {
    QSet<QString> games;
    for (const RoundRecord& round : readRecord(recordPath).rounds)
        games.insert(round.gameToken);
    for (const Spill::Leftover& leftover : Spill::leftovers(recordPath))
        for (const RoundRecord& round : leftover.rounds)
            games.insert(round.gameToken);
    return games;
}

} // namespace

int forget(const QString& recordPath, QTextStream& in, QTextStream& out,
           const ErasureElsewhere& elsewhere) {
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
    if (!record.exists() && setAside.isEmpty() && !elsewhere.erase) {
        out << (pupils.isEmpty()
                    ? QStringLiteral("Aucun résultat n'est enregistré : il n'y a rien à effacer.")
                    : QStringLiteral("Aucun résultat n'est enregistré au nom du compte : il n'y a "
                                     "rien à effacer."))
            << Qt::endl;
        return 0;
    }
    out << QStringLiteral("Effacer tous les résultats enregistrés dans %1%2 ?\n"
                          "Cela ne peut pas être annulé. Tapez oui pour confirmer : ")
               .arg(QDir::toNativeSeparators(record.absolutePath()),
                    elsewhere.erase
                        ? QStringLiteral(", et ceux de ce compte %1").arg(elsewhere.where)
                        : QString())
        << Qt::flush;
    const QString answer = in.readLine().trimmed().toLower();
    if (answer != QLatin1String("oui")) {
        out << "Rien n'a été effacé." << Qt::endl;
        return 1;
    }
    bool erased = true;
    const QSet<QString> games = elsewhere.erase ? gamesOf(recordPath) : QSet<QString>();
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
    out << (erased ? "Les résultats de ce poste ont été effacés."
                   : "Les résultats de ce poste n'ont pas pu être effacés.")
        << Qt::endl;
    // Once nothing here can send them again.
    if (elsewhere.erase)
        erased = elsewhere.erase(out, games) && erased;
    return erased ? 0 : 1;
}

} // namespace quiltaro
