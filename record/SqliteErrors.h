#pragma once

#include <QString>

class QSqlDatabase;
class QSqlError;
struct sqlite3;

namespace quiltaro {

// Why a statement failed, as far as the record cares: whether waiting can
// help, whether the file must be set aside, whether the journal must change.
enum class Cause {
    None,
    Busy,         // another copy holds the record
    NoRoom,       // full disk or quota, the shared-memory index included
    SharedMemory, // the filesystem gives no shared memory: no write-ahead log there
    Moved,        // the file was renamed or deleted under the connection
    Corrupt,      // the file is damaged
    Unwritable,   // permissions, a read-only file or folder
    Interrupted,  // stopped on purpose: the program is ending
    Io,           // any other input or output error: may pass
    Other,
};

// The cause of an error from the record at `path`, by SQLite's extended code.
// A shared-memory failure on a disk with no room left is a full disk.
Cause causeOf(const QSqlError& error, const QString& path);
// Whether the filesystem holding `path` has (almost) no room left.
bool noRoomLeft(const QString& path);
// The extended code of an error, or -1.
int extendedCode(const QSqlError& error);

// The connection's SQLite handle, with extended result codes on; null when
// the driver is not SQLite.
sqlite3* sqliteHandle(const QSqlDatabase& db);

} // namespace quiltaro
