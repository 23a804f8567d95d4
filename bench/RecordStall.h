#pragma once

#include <QString>

namespace quiltaro {

// The longest time any call into the record kept the game, in milliseconds,
// while a pupil plays on a version-1 record of `games` games in `folder`:
// from the first round that ends (which opens and migrates it) until a few
// rounds after the migration is done.
double measureRecordStall(const QString& folder, int games);

} // namespace quiltaro
