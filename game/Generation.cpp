#include "Generation.h"

#include "NumberText.h"

#include <cmath>

namespace quiltaro {

Band bandOf(NumberKind kind) {
    switch (kind) {
    case NumberKind::Whole:
        return {500, 999, 1};
    case NumberKind::Tenths:
        return {50, 99, 10};
    case NumberKind::Hundredths:
        break;
    }
    return {5, 9, 100};
}

Band bandFor(int score) {
    return bandOf(kindForScore(score));
}

double redPosition(const RoundState& s) {
    return std::floor(
        s.lowX + (s.redValue - s.lowBound) * ((s.highX - s.lowX) / (s.highBound - s.lowBound)) +
        0.5);
}

namespace {

double upperBoundFor(double lowBound, float r2, const Band& band) {
    double room = band.top - lowBound;
    return std::floor(lowBound + 0.8 * r2 * room + 0.1 * room);
}

// In the top band the formula gives an upper bound equal to the lower one for
// a small r2 (about one round in sixteen). Such a round has no interval to
// bracket and would divide by zero when placed on the line, so r2 is drawn
// again: the rounds that do reach the pupil keep the formula's distribution.
// A source that keeps answering 0 (only a broken or scripted one does) must
// not hang the game, hence the bound on the number of draws and the last
// resort of one unit of room.
constexpr int maxUpperBoundDraws = 64;

} // namespace

void generateRound(RoundState& s, UniformSource& random, Clock& clock) {
    random.seed(clock.timeSeed());
    s.kind = kindPlayed(s.score, s.levels);
    const Band band = bandOf(s.kind);

    float r1 = random.next();
    s.lowBound = std::floor(r1 * band.multiplier);

    float r2 = random.next();
    s.highBound = upperBoundFor(s.lowBound, r2, band);
    for (int draw = 1; s.highBound <= s.lowBound && draw < maxUpperBoundDraws; ++draw)
        s.highBound = upperBoundFor(s.lowBound, random.next(), band);
    if (s.highBound <= s.lowBound)
        s.highBound = s.lowBound + 1;

    // The first round of a game spans the whole line, for a pupil who meets
    // it for the first time; a class that starts at the decimals plays an
    // ordinary round of its band instead.
    if (s.score == 0 && s.kind == NumberKind::Whole) {
        s.lowBound = 0;
        s.highBound = 1000;
    }

    float r3 = random.next();
    const double span = s.highBound - s.lowBound;
    const double g = band.grid;
    s.redValue =
        static_cast<float>(std::floor(g * s.lowBound + 0.8 * g * r3 * span + 0.1 * g * span) / g);

    s.scaleLow = s.lowBound;
    s.scaleHigh = s.highBound;
    s.lowX = 50;
    s.highX = 430;
    s.redX = redPosition(s);
    s.solutionText = numberToText(s.redValue);
}

} // namespace quiltaro
