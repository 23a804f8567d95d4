#pragma once

#include "GameWindowPort.h"
#include "RoundState.h"

namespace quiltaro {

// Scoring constants.
namespace scoring {
constexpr int lastTryForTwoPoints = 5;
constexpr int lastTryForOnePoint = 10;
constexpr double magnifierBelowWidth = 200; // brackets closer than this offer the magnifier
} // namespace scoring

// Judges the submitted answer: outside the interval, inside but wrong, or right.
void judgeAnswer(RoundState& state, GameControls& controls, GameDisplay& display);

} // namespace quiltaro
