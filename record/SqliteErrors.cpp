#include "SqliteErrors.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <sqlite3.h>
#include <sys/statvfs.h>

namespace quiltaro {

int extendedCode(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code : -1;
}

bool noRoomLeft(const QString& path) {
    struct statvfs fs {};
    const QByteArray folder = QFileInfo(path).absolutePath().toLocal8Bit();
    if (statvfs(folder.constData(), &fs) != 0)
        return false;
    // Less than a shared-memory index and a page or two: SQLite cannot go on.
    const unsigned long long room = static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize;
    return room < 64 * 1024 || fs.f_favail == 0;
}

Cause causeOf(const QSqlError& error, const QString& path) {
    const int code = extendedCode(error);
    if (code < 0)
        return error.isValid() ? Cause::Other : Cause::None;
    switch (code) {
    case SQLITE_IOERR_SHMOPEN:
    case SQLITE_IOERR_SHMSIZE:
    case SQLITE_IOERR_SHMLOCK:
    case SQLITE_IOERR_SHMMAP:
        return noRoomLeft(path) ? Cause::NoRoom : Cause::SharedMemory;
    case SQLITE_READONLY_DBMOVED:
        return Cause::Moved;
    default:
        break;
    }
    switch (code & 0xff) {
    case SQLITE_OK:
        return Cause::None;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Cause::Busy;
    case SQLITE_FULL:
        return Cause::NoRoom;
    case SQLITE_INTERRUPT:
        return Cause::Interrupted;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return Cause::Corrupt;
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_AUTH:
        return Cause::Unwritable;
    case SQLITE_IOERR:
        // A write refused for a quota or a file-size limit comes as a plain
        // write error; the disk tells whether it is full.
        return noRoomLeft(path) ? Cause::NoRoom : Cause::Io;
    default:
        return Cause::Other;
    }
}

sqlite3* sqliteHandle(const QSqlDatabase& db) {
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    sqlite3* access = *static_cast<sqlite3* const*>(handle.constData());
    if (access)
        sqlite3_extended_result_codes(access, 1);
    return access;
}

} // namespace quiltaro
