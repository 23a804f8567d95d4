#pragma once

#include "ClassSummary.h"

#include <QString>

#include <vector>

namespace quiltaro {

// A pupil's figures of a period, a line each beside the class mean, in
// French: the window's table and the printed report show the same lines.
struct FigureLine {
    QString name;
    QString pupil;
    QString mean;
    QString tip; // what the figure counts
};
std::vector<FigureLine> figureLines(const PupilSummary& pupil, const ClassMean& mean);

// The trend of the last weeks' highest scores: "↗ 3 · – · 5 · 6", or a dash
// when fewer than two weeks were played.
QString trendText(const PupilSummary& pupil);

// A number the French way, with `decimals` after the comma.
QString frenchNumber(double value, int decimals);

} // namespace quiltaro
