#pragma once

#include "GameWindowPort.h"
#include "Narration.h"
#include "Pacer.h"
#include "Random.h"
#include "RoundState.h"
#include "Surface.h"

#include <string>

namespace quiltaro {

// The game window's drawing: number line, try line, round flow, animations
// and score pictures. It works on the round state and on the window's
// controls through GameControls; it never stores a mode of its own.
class GameBoard final : public GameDisplay {
public:
    GameBoard(RoundState& state, GameControls& controls, Surface& surface, Pacer& pacer,
              UniformSource& random);

    // Number line.
    void drawNumberLine();
    void printBoundLabels() override;
    // Try line.
    void printTryLine() override;
    void printPrompt() override;
    // Round flow.
    void startRound() override;
    void continuePlay();
    void beginNextTry(double bottom) override;
    void drawScoreFrame();
    // Animations and score pictures.
    void magnifierZoom() override;
    void sweepHighBound() override;
    void sweepLowBound() override;
    void showScorePictures() override;
    void blinkOutOfInterval() override;
    // Judging's own drawing.
    void eraseLabelsAboveLine() override;
    void printAnswerOverMark() override;
    void showSolution() override;

    // The picture in words, for screen readers.
    std::string description() const { return narration_.describe(s_); }

    Surface& surface() { return surface_; }

private:
    enum class Side { Low, High };
    void sweep(Side side);

    RoundState& s_;
    GameControls& controls_;
    Surface& surface_;
    Pacer& pacer_;
    UniformSource& random_;
    Narration narration_;
};

} // namespace quiltaro
