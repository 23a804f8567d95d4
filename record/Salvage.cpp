#include "Salvage.h"

#include "SqliteConnection.h"
#include "SqliteErrors.h"

#include <QFile>
#include <QSqlQuery>
#include <QVariant>
#include <QtEndian>

#include <algorithm>
#include <cstring>

#include <sqlite3.h>

namespace quiltaro {

namespace {

// A pupil's school year is a few megabytes: anything far larger is not a
// record, and is not read into memory.
constexpr qint64 largestRecord = qint64(256) << 20;
constexpr int walHeader = 32;
constexpr int frameHeader = 24;

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > largestRecord)
        return {};
    return file.readAll();
}

quint32 be32(const char* p) {
    return qFromBigEndian<quint32>(p);
}

bool validPageSize(quint32 size) {
    return size >= 512 && size <= 65536 && (size & (size - 1)) == 0;
}

// The log's running checksum: each frame's continues from the one before.
struct Checksum {
    quint32 s0 = 0, s1 = 0;
    bool operator==(const Checksum&) const = default;
};

Checksum checksum(const char* data, int size, bool bigEndian, Checksum c) {
    for (int i = 0; i + 8 <= size; i += 8) {
        const quint32 x0 =
            bigEndian ? qFromBigEndian<quint32>(data + i) : qFromLittleEndian<quint32>(data + i);
        const quint32 x1 = bigEndian ? qFromBigEndian<quint32>(data + i + 4)
                                     : qFromLittleEndian<quint32>(data + i + 4);
        c.s0 += x0 + c.s1;
        c.s1 += x1 + c.s0;
    }
    return c;
}

Checksum storedChecksum(const char* p) {
    return {be32(p), be32(p + 4)};
}

struct Frame {
    quint32 page = 0;
    quint32 commit = 0; // the database's size in pages, on the last frame of a transaction
    const char* data = nullptr;
    bool usable = false; // of this log's generation, and whole by its checksum
};

struct Log {
    int pageSize = 0;
    bool headerWhole = false; // SQLite reads no frame of a log whose header is not
    std::vector<Frame> frames;
};

// The frames of a log. Each frame is checked against the checksum stored in
// the frame before it, so that one damaged frame leaves the next ones
// checkable, where SQLite stops at the first.
Log framesOf(const QByteArray& wal, int fallbackPageSize, bool bigEndian) {
    Log log;
    if (wal.size() < walHeader)
        return log;
    const char* header = wal.constData();
    log.pageSize = validPageSize(be32(header + 8)) ? int(be32(header + 8)) : fallbackPageSize;
    const quint32 magic = be32(header);
    log.headerWhole = (magic == 0x377f0682 || magic == 0x377f0683) &&
                      checksum(header, 24, bigEndian, {}) == storedChecksum(header + 24);
    Checksum before = storedChecksum(header + 24);
    const qint64 frameSize = frameHeader + log.pageSize;
    for (qint64 at = walHeader; at + frameSize <= wal.size(); at += frameSize) {
        const char* f = header + at;
        Frame frame{be32(f), be32(f + 4), f + frameHeader, false};
        Checksum c = checksum(f, 8, bigEndian, before);
        c = checksum(frame.data, log.pageSize, bigEndian, c);
        const bool sameLog = std::memcmp(f + 8, header + 16, 8) == 0;
        frame.usable = sameLog && c == storedChecksum(f + 16) && frame.page > 0;
        before = storedChecksum(f + 16);
        log.frames.push_back(frame);
    }
    return log;
}

// The log read in the byte order its magic number names; with the magic
// damaged, in whichever order more frames check out.
Log readLog(const QByteArray& wal, int fallbackPageSize) {
    if (wal.size() < walHeader)
        return {};
    const quint32 magic = be32(wal.constData());
    if (magic == 0x377f0682 || magic == 0x377f0683)
        return framesOf(wal, fallbackPageSize, magic == 0x377f0683);
    Log little = framesOf(wal, fallbackPageSize, false);
    Log big = framesOf(wal, fallbackPageSize, true);
    const auto usable = [](const Log& log) {
        return std::count_if(log.frames.begin(), log.frames.end(),
                             [](const Frame& f) { return f.usable; });
    };
    return usable(big) > usable(little) ? big : little;
}

int pageSizeOf(const QByteArray& image, const QByteArray& wal) {
    if (image.size() >= 100) {
        const quint32 stored = qFromBigEndian<quint16>(image.constData() + 16);
        if (stored == 1)
            return 65536;
        if (validPageSize(stored) && image.size() % stored == 0)
            return int(stored);
    }
    if (wal.size() >= walHeader && validPageSize(be32(wal.constData() + 8)))
        return int(be32(wal.constData() + 8));
    return 4096; // what every record is made with
}

// Lays every whole frame over its page, in the order they were written,
// and gives the image the size the last whole commit names.
void layOver(QByteArray& image, const Log& log) {
    quint32 lastCommit = 0;
    for (const Frame& frame : log.frames) {
        if (!frame.usable)
            continue;
        const qint64 at = qint64(frame.page - 1) * log.pageSize;
        if (at + log.pageSize > largestRecord)
            continue;
        if (image.size() < at + log.pageSize)
            image.resize(at + log.pageSize, '\0');
        std::memcpy(image.data() + at, frame.data, size_t(log.pageSize));
        if (frame.commit != 0)
            lastCommit = frame.commit;
    }
    if (lastCommit != 0 && qint64(lastCommit) * log.pageSize <= image.size())
        image.resize(qint64(lastCommit) * log.pageSize);
}

// What the header must say of a file of this size, in memory, with no log.
void mendHeader(QByteArray& image, int pageSize) {
    image.resize(image.size() - image.size() % pageSize);
    if (image.size() < 100)
        return;
    char* h = image.data();
    std::memcpy(h, "SQLite format 3\0", 16);
    qToBigEndian<quint16>(quint16(pageSize == 65536 ? 1 : pageSize), h + 16);
    h[18] = h[19] = 1; // a rollback journal: the image has no log of its own
    h[21] = 64, h[22] = 32, h[23] = 32;
    qToBigEndian<quint32>(quint32(image.size() / pageSize), h + 28);
    std::memcpy(h + 92, h + 24, 4); // the size above is valid for this change counter
}

std::vector<RoundRecord> readImage(const QByteArray& image, Detail detail) {
    return withSqliteConnection(QStringLiteral("salvage"), [&](QSqlDatabase& db) {
        std::vector<RoundRecord> rounds;
        db.setDatabaseName(QStringLiteral(":memory:"));
        sqlite3* handle = db.open() ? sqliteHandle(db) : nullptr;
        if (!handle || image.size() < 100)
            return rounds;
        auto* buffer = static_cast<unsigned char*>(sqlite3_malloc64(sqlite3_uint64(image.size())));
        if (!buffer)
            return rounds;
        std::memcpy(buffer, image.constData(), size_t(image.size()));
        // On failure too, SQLite frees the buffer it was given.
        if (sqlite3_deserialize(handle, "main", buffer, image.size(), image.size(),
                                SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) !=
            SQLITE_OK)
            return rounds;
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
            return rounds;
        const int version = q.value(0).toInt();
        q.finish();
        if (version <= 0 || version > RecordStore::schemaVersion)
            return rounds;
        bool damaged = false;
        rounds = readRounds(db, version, damaged, detail);
        return rounds;
    });
}

} // namespace

std::vector<RoundRecord> salvageRounds(const QString& recordPath, Detail detail) {
    QByteArray image = contentsOf(recordPath);
    const QByteArray wal = contentsOf(recordPath + QStringLiteral("-wal"));
    const int pageSize = pageSizeOf(image, wal);
    layOver(image, readLog(wal, pageSize));
    mendHeader(image, pageSize);
    return readImage(image, detail);
}

bool logDamaged(const QString& recordPath) {
    const QByteArray wal = contentsOf(recordPath + QStringLiteral("-wal"));
    const Log log = readLog(wal, pageSizeOf(contentsOf(recordPath), wal));
    // SQLite reads a log up to its first frame that is not whole: a whole
    // frame after that one is lost to it. Old frames of a log started again,
    // and a last frame cut short by a kill, are no damage.
    const auto firstBroken = log.headerWhole
                                 ? std::find_if(log.frames.begin(), log.frames.end(),
                                                [](const Frame& f) { return !f.usable; })
                                 : log.frames.begin();
    return std::any_of(firstBroken, log.frames.end(), [](const Frame& f) { return f.usable; });
}

} // namespace quiltaro
