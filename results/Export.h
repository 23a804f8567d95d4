#pragma once

#include "ClassRecord.h"
#include "Period.h"

#include <QString>
#include <QStringList>

#include <vector>

class QTextStream;

namespace quiltaro {

// What the teacher's commands write: the rounds of a period, of one pupil
// or of every pupil.
struct Selection {
    Period period;
    QString pupil; // empty: all
    // --class: empty for the CSV of every class (its "Classe" column tells
    // two pupils of the same first name apart), the default class for a
    // report.
    QString className = {};
};
// The pupils and rounds selected; false, said on `err`, when the pupil named
// is not in the class.
bool select(const ClassRecord& data, const Selection& selection, std::vector<PupilRounds>& out,
            QTextStream& err);

// --export-csv: every round of the records given (files, or folders searched
// for them; none: the login's own and its class's), as a French CSV, to
// `file` ("-" for standard output), reading the records without changing
// them. Never onto a database. Not zero when the output could not be written
// whole, or a record could not be found or read whole; what could be read is
// written all the same.
int exportCsv(const QStringList& sources, const QString& file, QTextStream& err,
              const Selection& selection = {});
// The same for a class read elsewhere (the class's server).
int exportClassCsv(const ClassRecord& data, const QString& file, QTextStream& err,
                   const Selection& selection);

// --report-pdf: the printed report of the records given (as --export-csv
// reads them), or of a class read elsewhere, to `file`.
int reportPdf(const QStringList& sources, const QString& file, QTextStream& err,
              const Selection& selection);
int reportClassPdf(const ClassRecord& data, const QString& file, QTextStream& err,
                   const Selection& selection);

// Writes the rounds as a French CSV to `file` ("-" for standard output) and
// says on `err` how many it wrote where, or why it could not (then 1).
int writeCsvExport(const std::vector<PupilRounds>& pupils, const QString& file, QTextStream& err);

} // namespace quiltaro
