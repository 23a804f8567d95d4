#include "GameBoard.h"

#include "Generation.h"
#include "Palette.h"

namespace quiltaro {

GameBoard::GameBoard(RoundState& state, GameControls& controls, Surface& surface, Pacer& pacer,
                     UniformSource& random)
    : s_(state), controls_(controls), surface_(surface), pacer_(pacer), random_(random) {}

void GameBoard::startRound() {
    controls_.setShown(Image::Fleche, false);
    controls_.setShown(Image::Arret, false);
    s_.typedAnswer.clear();
    s_.shownAnswer.clear();
    s_.tryNumber = 1;
    s_.pointTyped = 0;
    s_.lineY = 120;
    surface_.clear();
    narration_.judgement.clear();
    narration_.roundShown = s_.score != RoundState::maxScore;
    if (s_.score == RoundState::maxScore) {
        // The game is won: the window stays blank behind the farewell.
        surface_.present();
        controls_.openFarewell();
        return;
    }
    generateRound(s_, random_, pacer_.clock());
    controls_.roundObserver().roundGenerated(s_);
    drawNumberLine();
    printBoundLabels();
    printTryLine();
    printPrompt();
    if (s_.score > 0)
        drawScoreFrame();
}

void GameBoard::drawScoreFrame() {
    surface_.setFillColor(palette::lightCyan);
    surface_.setFillStyle(Surface::FillStyle::Solid);
    surface_.setLineWidth(3);
    surface_.box(136, 400, 365, 425, palette::cyan);
}

void GameBoard::continuePlay() {
    if (controls_.isShown(Image::Arret))
        startRound();
    else
        beginNextTry(400);
}

void GameBoard::beginNextTry(double bottom) {
    surface_.filledBox(0, 160, 450, bottom, palette::white);
    narration_.judgement.clear();
    controls_.setShown(Image::Fleche, false);
    s_.typedAnswer.clear();
    s_.shownAnswer.clear();
    printTryLine();
    printPrompt();
}

} // namespace quiltaro
