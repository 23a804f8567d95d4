#include "RecordStore.h"

#include "SqliteErrors.h"

#include <QSqlError>
#include <QSqlQuery>

#include <chrono>
#include <thread>

// The record's journal: a write-ahead log where the filesystem can share its
// index between processes, the rollback journal where it cannot (noWal_).
namespace quiltaro {

bool RecordStore::chooseJournal(QSqlQuery& q) {
    if (noWal_) {
        for (const char* statement :
             {"PRAGMA journal_mode=DELETE", "PRAGMA locking_mode=NORMAL",
              "SELECT COUNT(*) FROM sqlite_master"}) // lets go of the exclusive lock
            if (!q.exec(QLatin1String(statement)))
                return false;
        return true;
    }
    if (!switchToWal(q))
        return false;
    q.finish();
    // SQLite answers "wal" on any filesystem; the first read after it is
    // where the log's shared memory must work.
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master"));
}

bool RecordStore::switchToWal(QSqlQuery& q) const {
    // Changing the journal of a record that is not yet in WAL mode (a new
    // one) needs the write lock while this connection already reads the file.
    // When another copy holds that lock, SQLite fails at once rather than wait
    // its busy timeout, since two readers waiting for each other would never
    // end. Letting go of the read and trying again lets the other copy finish;
    // that takes milliseconds, so the game waits a little, never long.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(300);
    for (;;) {
        if (q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            return true;
        if (Clock::now() >= deadline || causeOf(q.lastError(), path_) != Cause::Busy)
            return false;
        q.finish();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace quiltaro
