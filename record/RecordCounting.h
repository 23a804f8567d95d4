#pragma once

#include "RoundCounts.h"

#include <QString>

#include <optional>

namespace quiltaro {

// The rounds of the record at `path` counted by SQLite, read-only as
// readRecord reads it, under each pupil's name as the record holds it
// (empty before pupils had names). Nothing when the record cannot be
// counted whole that way (damaged, older than levels, rounds kept beside
// it, a kind of number spelt otherwise than the game writes it, changed
// while counted): readRecord then reads it round by round, around the
// damage, and says what it found.
std::optional<CountsByPupil> countRecord(const QString& path);

} // namespace quiltaro
