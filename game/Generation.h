#pragma once

#include "Clock.h"
#include "Random.h"
#include "RoundState.h"

namespace quiltaro {

// The difficulty band of a kind of number.
struct Band {
    double multiplier; // range of the lower bound
    double top;        // ceiling of the upper bound
    double grid;       // 1, 10 or 100 steps per unit for the red value
};
Band bandOf(NumberKind kind);
// The band that the score alone selects: 0 to 2, 3 to 6, 7 to 10.
Band bandFor(int score);

// Draws a new interval and red value at the band the score selects within
// the state's levels, and notes that band in the state's kind. Re-seeds the source from
// the time of day first, at every round.
void generateRound(RoundState& state, UniformSource& random, Clock& clock);

// The x of the red mark between the brackets, rounded half up.
double redPosition(const RoundState& state);

} // namespace quiltaro
