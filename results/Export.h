#pragma once

#include "ClassRecord.h"

#include <QString>
#include <QStringList>

#include <vector>

class QTextStream;

namespace quiltaro {

// --export-csv: every round of the records given (files, or folders searched
// for them; none: the login's own and its class's), as a French CSV, to
// `file` ("-" for standard output), reading the records without changing
// them. Never onto a database. Not zero when the output could not be written
// whole, or a record could not be found or read whole; what could be read is
// written all the same.
int exportCsv(const QStringList& sources, const QString& file, QTextStream& err);

// Writes the rounds as a French CSV to `file` ("-" for standard output) and
// says on `err` how many it wrote where, or why it could not (then 1).
int writeCsvExport(const std::vector<PupilRounds>& pupils, const QString& file, QTextStream& err);

} // namespace quiltaro
