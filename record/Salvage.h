#pragma once

#include "RecordReading.h"

#include <QString>

#include <vector>

namespace quiltaro {

// What can still be read of a record whose header or log is damaged, where
// SQLite itself would give up at once (a damaged header), or would drop
// every frame of the log after a damaged one without a word. The file and
// its log are read into memory; nothing on disk is written or locked.
//
// The header is mended from what the rest of the file says (its size, the
// log's page size), each frame of the log that its checksum shows whole is
// laid over its page, and the image is read as a record, around any page
// that is still damaged.
std::vector<RoundRecord> salvageRounds(const QString& recordPath, Detail detail = Detail::Guesses);

// Whether the log beside the record holds a frame that its checksum shows
// damaged, followed by whole frames of the same log: SQLite would drop
// those, and with them rounds that ended on screen.
bool logDamaged(const QString& recordPath);

} // namespace quiltaro
