#pragma once

#include "GameWindowPort.h"
#include "RoundState.h"

namespace quiltaro {

// Character codes the game window reacts to.
namespace keys {
constexpr char16_t backspace = 8;
constexpr char16_t enter = 13;
constexpr char16_t escape = 27;
constexpr char16_t comma = 44;
constexpr char16_t fullStop = 46;
} // namespace keys

// The three modes, read from the images shown.
enum class Mode { Answering, PointLost, RoundOver };
Mode modeOf(const GameControls& controls);

// Key-press reaction of the game window: one character code.
void keyPress(RoundState& state, GameControls& controls, GameDisplay& display, char16_t keyCode);

// Applies keyChar to the answer, then shows the try line and the prompt again.
void editAnswer(RoundState& state, GameDisplay& display);

// Only the rules of editing, without the printing.
void applyAnswerKey(RoundState& state, char16_t keyCode);

void giveUp(RoundState& state, GameControls& controls, GameDisplay& display);

// The answer as a number: decimal point, leading zeros do not matter.
float answerValue(const std::string& typedAnswer);

} // namespace quiltaro
