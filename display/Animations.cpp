#include "GameBoard.h"

#include "AnswerEntry.h"
#include "Generation.h"
#include "NumberText.h"
#include "Palette.h"

#include <cmath>

namespace quiltaro {

namespace {
constexpr double descentFrameSeconds = 0.02;
constexpr double zoomPauseSeconds = 1.0;
constexpr double ascentFrameSeconds = 0.005;
constexpr double sweepFrameSeconds = 0.004;
constexpr double blinkSeconds = 0.1;
constexpr int blinkPrints = 20;
} // namespace

void GameBoard::magnifierZoom() {
    controls_.setShown(Image::Loupe, false);
    const double kLow = (s_.lowX - 50) / 140;
    const double kHigh = (430 - s_.highX) / 140;
    s_.lineY = 140;
    s_.zoomStep = 2;
    while (s_.lineY < 280) {
        s_.lineY += s_.zoomStep;
        // The erase starts 20 points above the new line: the top of every
        // earlier frame stays and draws the zoom cone.
        surface_.filledBox(0, s_.lineY - 20, 480, 310, palette::white);
        s_.lowX = 50 + kLow * (280 - s_.lineY);
        s_.highX = 430 - kHigh * (280 - s_.lineY);
        s_.redX = redPosition(s_);
        drawNumberLine();
        pacer_.wait(surface_, descentFrameSeconds);
    }
    s_.lowX = 50;
    s_.highX = 430;
    s_.redX = redPosition(s_);
    s_.scaleLow = s_.lowBound;
    s_.scaleHigh = s_.highBound;
    printBoundLabels();
    pacer_.waitMoreThan(surface_, zoomPauseSeconds);
    surface_.filledBox(0, 60, 480, 259, palette::white);
    s_.zoomStep = -2;
    while (s_.lineY > 120) {
        s_.lineY += s_.zoomStep;
        surface_.filledBox(0, 60, 480, 300, palette::white);
        drawNumberLine();
        printBoundLabels();
        pacer_.wait(surface_, ascentFrameSeconds);
    }
    printTryLine();
    printPrompt();
}

void GameBoard::sweepHighBound() {
    sweep(Side::High);
}
void GameBoard::sweepLowBound() {
    sweep(Side::Low);
}

void GameBoard::sweep(Side side) {
    s_.guessValue = answerValue(s_.typedAnswer);
    const double target =
        std::floor(50 + (s_.guessValue - s_.scaleLow) * (380 / (s_.scaleHigh - s_.scaleLow)) + 0.5);
    double& bracket = side == Side::High ? s_.highX : s_.lowX;
    if (side == Side::High)
        surface_.setLineWidth(2);
    const double step = side == Side::High ? -1 : 1;
    while (side == Side::High ? bracket > target : bracket < target) {
        surface_.line(bracket, 99, bracket, 140, palette::white);
        bracket += step;
        drawNumberLine();
        pacer_.wait(surface_, sweepFrameSeconds);
    }
    narration_.judgement = side == Side::High ? "Trop grand." : "Trop petit.";
    if (side == Side::High) {
        surface_.filledBox(s_.highX - 4, 90, 480, 60, palette::white);
        s_.highBound = s_.guessValue;
    } else {
        surface_.filledBox(0, 90, s_.lowX, 60, palette::white);
        s_.lowBound = s_.guessValue;
    }
}

void GameBoard::showScorePictures() {
    controls_.setShown(Image::Loupe, false);
    for (int i = 1; i <= s_.score; ++i)
        controls_.setScorePictureShown(i - 1, true);
    drawScoreFrame();
}

void GameBoard::blinkOutOfInterval() {
    Surface& g = surface_;
    g.setFillColor(palette::red);
    g.setFillStyle(Surface::FillStyle::Solid);
    g.setLineWidth(3);
    g.ellipse(240, 270, 200, palette::red, 0.15);
    g.setFontName(QStringLiteral("Arial"));
    g.setFontSize(18);
    narration_.judgement = "Ta réponse est en dehors de l'intervalle";
    int colour = palette::red;
    for (int i = 0; i < blinkPrints; ++i) {
        g.setForeColor(colour);
        g.setPosition(70, 260);
        g.print(QStringLiteral("Ta réponse est en dehors de l'intervalle"), Surface::LineEnd::Keep);
        colour = 18 - colour; // red and yellow in turn, yellow last
        pacer_.waitMoreThan(g, blinkSeconds);
    }
}

void GameBoard::eraseLabelsAboveLine() {
    surface_.filledBox(0, 99, 460, 60, palette::white);
}

void GameBoard::printAnswerOverMark() {
    Surface& g = surface_;
    g.setForeColor(palette::lightRed);
    g.setFontSize(14);
    const QString answer = QString::fromStdString(s_.shownAnswer);
    g.setPosition(s_.redX - g.textWidth(answer) / 2, 80);
    g.print(answer, Surface::LineEnd::End);
    narration_.judgement = "Trouvé : " + s_.shownAnswer + ".";
}

void GameBoard::showSolution() {
    Surface& g = surface_;
    g.filledBox(0, 160, 450, 380, palette::white);
    // The font is whatever the last drawing left: the give-up text looks like
    // the line it replaces.
    g.setPosition(140, 180);
    g.setForeColor(palette::red);
    g.setEmphasis(true);
    g.print(QStringLiteral("Solution"), Surface::LineEnd::Keep);
    g.setEmphasis(false);
    g.print(QStringLiteral(" :"), Surface::LineEnd::End);
    g.setForeColor(palette::lightRed);
    g.setPosition(240, 180);
    const std::string solution = withDecimalComma(s_.solutionText);
    g.print(QString::fromStdString(solution), Surface::LineEnd::Keep);
    narration_.judgement = "Solution :" + solution + ".";
}

} // namespace quiltaro
