#pragma once

#include "ClassRecord.h"

class QTextStream;

namespace quiltaro {

// Rounds as CSV for a French spreadsheet: ';' between fields, a decimal
// comma, local dates as "2026-12-06 10:38:09", UTF-8 with a byte-order mark,
// one line per round with its pupil. The answers and their verdicts are
// joined by " | ", so that no spreadsheet reads several answers as one
// number; no text cell starts with a character a spreadsheet would take for
// a formula.
void writeFrenchCsv(const std::vector<PupilRounds>& pupils, QTextStream& out);

// One field as written: quoted when it must be, defused when a spreadsheet
// would run it.
QString csvCell(const QString& text);

} // namespace quiltaro
