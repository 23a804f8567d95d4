#include "GameBoard.h"

#include "NumberText.h"
#include "Palette.h"

namespace quiltaro {

void GameBoard::drawNumberLine() {
    const double L = s_.lowX, H = s_.highX, M = s_.redX, Y = s_.lineY;
    Surface& g = surface_;
    g.setLineWidth(2);
    g.filledBox(L, Y - 19, H, Y + 19, palette::lightCyan);
    g.setForeColor(palette::lightBlue);
    g.line(L, Y, H, Y);
    // While the line moves down in a zoom, the full axis would leave stripes
    // in the zoom cone; it is drawn at rest and on the way back up.
    if (s_.lineY == 120.0f || s_.lineY == 280.0f || s_.zoomStep == -2)
        g.line(10, Y, 460, Y);
    g.setForeColor(palette::blue);
    g.line(L, Y - 20, L, Y + 20);
    g.line(H, Y - 20, H, Y + 20);
    g.line(L, Y - 20, L + 10, Y - 20);
    g.line(H, Y - 20, H - 10, Y - 20);
    g.line(L, Y + 20, L + 10, Y + 20);
    g.line(H, Y + 20, H - 10, Y + 20);
    // Last, so that the mark stays visible where it meets a bracket.
    g.setForeColor(palette::lightRed);
    g.line(M, Y - 10, M, Y + 10);
}

void GameBoard::printBoundLabels() {
    const double L = s_.lowX, H = s_.highX, M = s_.redX, Y = s_.lineY;
    Surface& g = surface_;
    g.setFontName(QStringLiteral("Times new roman"));
    g.setFontSize(14);
    g.setForeColor(palette::blue);
    // Measured with a decimal point but printed with a comma: both have the
    // same width, so the last digit ends at the bracket.
    const double w = g.textWidth(QString::fromStdString(numberToText(s_.lowBound)));
    g.setPosition(L - w, Y - 45);
    g.print({Surface::Number{s_.lowBound}}, Surface::LineEnd::End);
    g.setPosition(H - 4, Y - 45);
    g.print({Surface::Number{s_.highBound}}, Surface::LineEnd::End);
    g.setForeColor(palette::lightRed);
    g.setPosition(M - 4, Y - 40);
    g.print(QStringLiteral("?"), Surface::LineEnd::End);
}

} // namespace quiltaro
