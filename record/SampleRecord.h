#pragma once

#include "RecordStore.h"

#include <QDateTime>

#include <cstdint>
#include <vector>

namespace quiltaro {

// The record of an imagined pupil who plays `games` games, about two a school
// day from `firstGame` on, and slowly learns to halve the interval: rounds
// generated and judged by the game's own rules, guesses that grow closer to
// the middle, fewer guesses outside the interval, fewer give-ups.
std::vector<RoundRecord> sampleRecord(int games, const QDateTime& firstGame, std::uint64_t seed);

} // namespace quiltaro
