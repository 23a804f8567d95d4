#include "GameBoard.h"

#include "Palette.h"

namespace quiltaro {

void GameBoard::printTryLine() {
    Surface& g = surface_;
    g.setFontName(QStringLiteral("Times new roman"));
    g.setFontSize(18);
    g.setFillColor(palette::white);
    g.setFillStyle(Surface::FillStyle::Solid);
    g.setLineWidth(3);
    // "Essai n°" starts left of this box and is printed again identically.
    g.box(180, 160, 400, 200, palette::white);
    g.setPosition(140, 180);
    g.setForeColor(palette::red);
    g.setEmphasis(true);
    g.print({QStringLiteral("Essai n°"), Surface::Number{static_cast<double>(s_.tryNumber)}},
            Surface::LineEnd::Keep);
    g.setEmphasis(false);
    g.print(QStringLiteral(" :"), Surface::LineEnd::End);
    g.setForeColor(palette::lightRed);
    g.setPosition(240, 180);
    g.print(QString::fromStdString(s_.shownAnswer), Surface::LineEnd::Keep);
    narration_.shownTry = s_.tryNumber;
}

void GameBoard::printPrompt() {
    surface_.print(QStringLiteral(" ?"), Surface::LineEnd::End);
}

} // namespace quiltaro
