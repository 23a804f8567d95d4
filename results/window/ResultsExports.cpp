#include "ResultsWindow.h"

#include "Export.h"
#include "PupilPanel.h"
#include "Report.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>

// What the window writes for the teacher: the CSV of the period and the
// printed report, offered in the teacher's documents under a name that says
// whose and when.
namespace quiltaro {

namespace {

// "resultats-Lucas-M-2026-11-30_2026-12-06.csv": letters, digits and
// dashes only, so that no full stop, slash or space ends up in the name.
QString fileName(const QString& what, const QString& whose, const Period& period,
                 const QString& extension) {
    QString words = QStringList{what, whose, period.fileWords()}.join(QLatin1Char('-'));
    words.replace(QRegularExpression(QStringLiteral("[^\\w-]+"),
                                     QRegularExpression::UseUnicodePropertiesOption),
                  QStringLiteral("-"));
    words.replace(QRegularExpression(QStringLiteral("-{2,}")), QStringLiteral("-"));
    while (words.endsWith(QLatin1Char('-')))
        words.chop(1);
    return words + QLatin1Char('.') + extension;
}

QString documentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

} // namespace

QString ResultsWindow::askWhere(const QString& title, const QString& name, const QString& filter) {
    return QFileDialog::getSaveFileName(this, title, QDir(documentsFolder()).filePath(name),
                                        filter);
}

void ResultsWindow::exportRounds(const QString& pupil) {
    const QString file = askWhere(QStringLiteral("Exporter les résultats"),
                                  fileName(QStringLiteral("resultats"),
                                           pupil.isEmpty() ? QStringLiteral("classe") : pupil,
                                           period_, QStringLiteral("csv")),
                                  QStringLiteral("Tableur CSV (*.csv)"));
    if (file.isEmpty())
        return;
    std::vector<PupilRounds> chosen;
    for (const PupilRounds& p : data_.pupils)
        if (pupil.isEmpty() || p.name == pupil)
            chosen.push_back(p);
    QPointer<QPushButton> button = pupil.isEmpty() ? exportClass_ : panel_->exportButton();
    whileReading(button, true);
    readThen(std::move(chosen), Detail::Guesses,
             [this, file, pupil, button, period = period_](std::vector<PupilRounds> read) {
                 whileReading(button, false);
                 std::vector<PupilRounds> rounds;
                 for (const PupilRounds& p : read)
                     if (PupilRounds within = inPeriod(p, period);
                         !within.rounds.empty() || !pupil.isEmpty())
                         rounds.push_back(std::move(within));
                 QString said;
                 QTextStream err(&said);
                 if (writeCsvExport(withGuesses(rounds, data_.files), file, err) != 0)
                     QMessageBox::warning(this, QStringLiteral("Exporter les résultats"),
                                          said.section(QStringLiteral("quiltaro : "), 1).trimmed());
             });
}

void ResultsWindow::writeReport(const QString& pupil) {
    const QString file = askWhere(QStringLiteral("Rapport PDF"),
                                  fileName(QStringLiteral("rapport"),
                                           pupil.isEmpty() ? QStringLiteral("classe") : pupil,
                                           period_, QStringLiteral("pdf")),
                                  QStringLiteral("Document PDF (*.pdf)"));
    if (file.isEmpty())
        return;
    // The report draws each pupil's rounds: read now, as the rest of the
    // window only counts them.
    QPointer<QPushButton> button = pupil.isEmpty() ? reportClass_ : panel_->reportButton();
    whileReading(button, true);
    readThen(data_.pupils, Detail::Counts,
             [this, file, pupil, button, summary = summary_](std::vector<PupilRounds> read) {
                 whileReading(button, false);
                 ClassRecord data = data_;
                 data.pupils = std::move(read);
                 QString problem;
                 if (!writeReportPdf(data, summary, pupil, file, &problem))
                     QMessageBox::warning(
                         this, QStringLiteral("Rapport PDF"),
                         QStringLiteral("Le rapport %1 n'a pas pu être écrit (%2).")
                             .arg(QDir::toNativeSeparators(file), problem));
             });
}

} // namespace quiltaro
