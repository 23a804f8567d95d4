#pragma once

// What the pupil's record costs: writing a round, opening the results.

#include <QString>

#include <string>
#include <vector>

namespace quiltaro::bench {

// What one finished round costs the game: the answer that ends a round of
// eight guesses, which hands it to the record's thread, with a record that
// already holds a few hundred rounds.
double measureRecordWrite(const QString& path);

// From `quiltaro --results` started to the results window painted, on a
// record of `games` generated games; median of 5.
double measureResultsOpen(const std::string& game, const QString& dataHome, int games);

// From `args` started (the results window's program) to its window painted,
// median of 5 after one that fills the caches; NAN when one did not show.
double medianResultsOpen(const std::vector<std::string>& args);

// The games of the record the results window opens on.
constexpr int resultsGames = 10000;

// `--record`: the three figures of the record alone, the results window
// opened by `game`.
int recordOnly(int argc, char** argv, const std::string& game);

} // namespace quiltaro::bench
