#pragma once

#include "ClassSummary.h"

#include <QString>

namespace quiltaro {

// The printed report of a period, in French on A4, written with Qt's own PDF
// writer (no widgets): for the class, a page with every pupil's line, who
// needs help and why, and the class mean; then a page for each pupil, or
// only for `pupil` when one is named, with the figures beside the class
// mean and the highest score of each week drawn. False, with the reason in
// French, when the file could not be written. The file is for the teacher's
// eyes only (mode 0600).
bool writeReportPdf(const ClassRecord& data, const ClassSummary& summary, const QString& pupil,
                    const QString& file, QString* problem);

} // namespace quiltaro
