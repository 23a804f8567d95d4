#include "Export.h"

#include "ClassChoice.h"
#include "ClassRecord.h"
#include "FrenchCsv.h"
#include "Pupils.h"
#include "Report.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
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

int writeCsvExport(const std::vector<PupilRounds>& pupils, const QString& file, QTextStream& err) {
    const bool toOutput = file == QLatin1String("-");
    const QString where = toOutput ? QStringLiteral("sur la sortie standard")
                                   : QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
    auto cannotWrite = [&](int error) {
        err << QStringLiteral("quiltaro : impossible d'écrire %1 (%2).")
                   .arg(where, writeFailure(error))
            << Qt::endl;
        return 1;
    };
    errno = 0;
    if (toOutput) {
        // Straight to the descriptor, unbuffered: a full disk or /dev/full
        // answers the write itself.
        QFile out;
        if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered))
            return cannotWrite(errno);
        QTextStream text(&out);
        writeFrenchCsv(pupils, text);
        if (text.status() != QTextStream::Ok || out.error() != QFileDevice::NoError)
            return cannotWrite(errno);
    } else {
        // Written aside and renamed at the end: an interrupted export never
        // leaves half a file where a whole one was. Pupils' results are for
        // the teacher's eyes: a new file is readable by its owner only.
        QSaveFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            return cannotWrite(errno);
        if (!QFileInfo::exists(file))
            out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QTextStream text(&out);
        writeFrenchCsv(pupils, text);
        if (text.status() != QTextStream::Ok)
            out.cancelWriting();
        if (!out.commit())
            return cannotWrite(errno);
    }
    size_t rounds = 0;
    for (const PupilRounds& pupil : pupils)
        rounds += pupil.rounds.size();
    err << QStringLiteral("quiltaro : %1 manche%2 de %3 élève%4 écrite%2 %5%6.")
               .arg(rounds)
               .arg(rounds > 1 ? QStringLiteral("s") : QString())
               .arg(pupils.size())
               .arg(pupils.size() > 1 ? QStringLiteral("s") : QString())
               .arg(toOutput ? QString() : QStringLiteral("dans "), where)
        << Qt::endl;
    return 0;
}

bool select(const ClassRecord& data, const Selection& selection, std::vector<PupilRounds>& out,
            QTextStream& err) {
    out.clear();
    for (const PupilRounds& p : data.pupils)
        if (selection.pupil.isEmpty() || p.name == selection.pupil)
            out.push_back(inPeriod(p, selection.period));
    if (!selection.pupil.isEmpty() && out.empty()) {
        err << QStringLiteral("quiltaro : aucun élève ne s'appelle %1 dans ces résultats.")
                   .arg(selection.pupil)
            << Qt::endl;
        return false;
    }
    // Pupils without a round in the period have no line in a CSV.
    if (selection.pupil.isEmpty())
        out.erase(std::remove_if(out.begin(), out.end(),
                                 [](const PupilRounds& p) { return p.rounds.empty(); }),
                  out.end());
    return true;
}

namespace {

// Refuses to write over a record or any database; `example` is a name to
// choose instead.
bool refusesDatabase(const QString& file, const QStringList& records, QTextStream& err,
                     const QString& example) {
    if (file == QLatin1String("-") || (!isPartOfRecord(file, records) && !isDatabase(file)))
        return false;
    err << QStringLiteral("quiltaro : %1 est une base de données%2 : quiltaro ne l'écrase "
                          "pas. Choisissez un autre nom de fichier, par exemple %3.")
               .arg(QDir::toNativeSeparators(file),
                    isPartOfRecord(file, records)
                        ? QStringLiteral(" (celle où les résultats sont enregistrés)")
                        : QString(),
                    example)
        << Qt::endl;
    return true;
}

// What could be read is written all the same, and what could not is said.
int toldProblems(const QStringList& problems, QTextStream& err) {
    for (const QString& problem : problems)
        err << QStringLiteral("quiltaro : %1.").arg(problem) << Qt::endl;
    return problems.isEmpty() ? 0 : 1;
}

// Keeps the class asked for (or, when `always`, the default one) and says
// its name; null, said on `err`, when the class asked for is not there.
QString oneClass(ClassRecord& data, const QString& asked, bool always, QTextStream& err) {
    if (asked.isEmpty() && !always)
        return QLatin1String("");
    const ClassChoice choice = chooseAmong(data, asked);
    if (!choice.problem.isEmpty()) {
        err << QStringLiteral("quiltaro : %1").arg(choice.problem) << Qt::endl;
        return {};
    }
    if (!choice.chosen.isEmpty())
        keepClass(data, choice.chosen, configuredClass().name);
    return choice.chosen.isNull() ? QLatin1String("") : choice.chosen;
}

} // namespace

int exportClassCsv(const ClassRecord& data, const QString& file, QTextStream& err,
                   const Selection& selection) {
    std::vector<PupilRounds> chosen;
    if (!select(data, selection, chosen, err))
        return 1;
    return writeCsvExport(chosen, file, err);
}

int exportCsv(const QStringList& sources, const QString& file, QTextStream& err,
              const Selection& selection) {
    QStringList problems;
    const QStringList records =
        findRecords(sources.isEmpty() ? defaultSources() : sources, &problems);
    if (refusesDatabase(file, records, err, QStringLiteral("resultats.csv")))
        return 1;
    ClassRecord merged = readClass(records);
    if (oneClass(merged, selection.className, false, err).isNull())
        return 2;
    if (exportClassCsv(merged, file, err, selection) != 0)
        return 1;
    return toldProblems(problems + merged.problems, err);
}

int reportClassPdf(const ClassRecord& data, const QString& file, QTextStream& err,
                   const Selection& selection) {
    const ClassSummary summary = summarize(data, selection.period, QDateTime::currentDateTime());
    QString problem;
    if (!writeReportPdf(data, summary, selection.pupil, file, &problem)) {
        err << QStringLiteral("quiltaro : le rapport %1 n'a pas pu être écrit (%2).")
                   .arg(QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()), problem)
            << Qt::endl;
        return 1;
    }
    err << QStringLiteral("quiltaro : rapport %1 écrit dans %2.")
               .arg(selection.pupil.isEmpty() ? QStringLiteral("de la classe")
                                              : QStringLiteral("de %1").arg(selection.pupil),
                    QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()))
        << Qt::endl;
    return 0;
}

int reportPdf(const QStringList& sources, const QString& file, QTextStream& err,
              const Selection& selection) {
    QStringList problems;
    const QStringList records =
        findRecords(sources.isEmpty() ? defaultSources() : sources, &problems);
    if (refusesDatabase(file, records, err, QStringLiteral("rapport.pdf")))
        return 1;
    ClassRecord data = readClass(records, Detail::Counts);
    const QString shown = oneClass(data, selection.className, true, err);
    if (shown.isNull())
        return 2;
    if (sources.isEmpty() && !loginClassLists(configuredClass().name).empty()) {
        const QStringList names = listedPupils(shown);
        setTrialApart(data, names);
        addListedPupils(data, names);
    }
    if (reportClassPdf(data, file, err, selection) != 0)
        return 1;
    return toldProblems(problems + data.problems, err);
}

} // namespace quiltaro
