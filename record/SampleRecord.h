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
// The pupil's skill grows from `startSkill` to `endSkill` (0: guesses at
// random, 1: halves the interval) over the games; from the score `stuckFrom`
// on, the pupil plays as a beginner, whatever the skill.
std::vector<RoundRecord> sampleRecord(int games, const QDateTime& firstGame, std::uint64_t seed,
                                      double startSkill = 0.15, double endSkill = 1,
                                      int stuckFrom = 11);

// An imagined class, each pupil named in every round: some learn fast, some
// slowly, one does not get past a level, one has hardly played.
struct SamplePupil {
    QString name;
    std::vector<RoundRecord> rounds;
};
std::vector<SamplePupil> sampleClass(int games, const QDateTime& firstGame, std::uint64_t seed);

// A record as the first version of the schema kept it, of `games` games of
// eight rounds, made by SQLite itself in a moment however large: for the
// migration's tests and the benchmark. False when it could not be written.
bool writeVersion1Record(const QString& path, int games);

} // namespace quiltaro
