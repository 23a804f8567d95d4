#include "RecordReading.h"

#include "Salvage.h"
#include "Spill.h"
#include "SqliteConnection.h"
#include "SqliteErrors.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <future>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include <sys/stat.h>

namespace quiltaro {

bool openReadOnly(QSqlDatabase& db, const QString& path) {
    // A log beside the file: read through it. Otherwise the file alone holds
    // everything, and reading it as immutable needs neither a lock nor the
    // log's index, which a read-only folder or a filesystem without shared
    // memory could not give.
    if (QFileInfo::exists(path + QStringLiteral("-wal"))) {
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (db.open()) {
            sqliteHandle(db);
            QSqlQuery probe(db);
            if (probe.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")))
                return true;
            const Cause cause = causeOf(probe.lastError(), path);
            if (cause != Cause::SharedMemory && cause != Cause::Unwritable &&
                cause != Cause::NoRoom)
                return true; // the reading will tell
        }
        db.close();
    }
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    url.setQuery(QStringLiteral("immutable=1"));
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
    if (!db.open())
        return false;
    sqliteHandle(db);
    return true;
}

namespace {

// When a file last changed, to the nanosecond, and its size.
std::tuple<qint64, qint64, qint64> changeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.st_mtim.tv_sec), qint64(st.st_mtim.tv_nsec), qint64(st.st_size)};
}

} // namespace

ReadableRecord::ReadableRecord(const QString& record) : path_(record) {
    const QString log = record + QStringLiteral("-wal");
    if (!QFileInfo::exists(log))
        return;
    // Even a read-only connection writes the log's index (-shm) beside a
    // record whose log is there: a game has it open, or was killed. The
    // record and its log are copied as they are now, the record first: a
    // game that writes meanwhile only adds to the log, and SQLite reads
    // every transaction whole in it and ignores one cut short at its end; a
    // checkpoint that changes the record meanwhile makes the reading be
    // done again (readRecord).
    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid())
        return;
    const QString copy = dir->filePath(QStringLiteral("record.sqlite"));
    if (!QFile::copy(record, copy))
        return; // read in place, as a last resort
    const auto before = changeOf(log);
    if (!QFile::copy(log, copy + QStringLiteral("-wal")) && QFileInfo::exists(log))
        return;
    // A game that wrote while the log was copied may have overtaken the copy:
    // a frame copied half new, and new ones after it. SQLite reads up to that
    // frame; the frames after it are no damage of the log.
    logSteady_ = changeOf(log) == before;
    dir_ = std::move(dir);
    path_ = copy;
}

ReadableRecord::~ReadableRecord() = default;

QStringList keptAsideFiles(const QString& recordPath) {
    const QFileInfo record(recordPath);
    QStringList files;
    for (const QString& name :
         record.dir().entryList({record.fileName() + QStringLiteral(".attente-*")}, QDir::Files))
        files << record.dir().filePath(name);
    return files;
}

namespace {

// Rounds a copy kept beside the record because it could not write them in
// (another copy held it): they ended on screen, and the next game writes
// them in. They are read before the record: a game writes them in before it
// removes their file, so whichever moment that happens, each round is seen
// once, in the file or in the record.
std::vector<RoundRecord> readKeptAside(const QString& path) {
    std::vector<RoundRecord> rounds;
    for (const QString& file : keptAsideFiles(path))
        for (RoundRecord& r : Spill::read(file))
            rounds.push_back(std::move(r));
    return rounds;
}

// Those already in the record are left out.
void addKeptAside(std::vector<RoundRecord>&& aside, std::vector<RoundRecord>& rounds) {
    if (aside.empty())
        return;
    std::set<RoundKey> present;
    for (const RoundRecord& r : rounds)
        present.insert(keyOf(r));
    for (RoundRecord& r : aside)
        if (present.insert(keyOf(r)).second)
            rounds.push_back(std::move(r));
}

} // namespace

namespace {

// `file` is what is opened: the record itself, or a copy (ReadableRecord).
std::optional<bool> checkedOpened(const QString& file) {
    return withSqliteConnection(QStringLiteral("checking"),
                                [&](QSqlDatabase& db) -> std::optional<bool> {
                                    if (!openReadOnly(db, file))
                                        return std::nullopt;
                                    return wholeFile(db);
                                });
}

} // namespace

std::optional<bool> checkedFile(const QString& path) {
    const ReadableRecord readable(path);
    return checkedOpened(readable.path());
}

namespace {

// `opened` is the file SQLite reads: the record, or its copy (ReadableRecord).
RecordContents readOnce(const QString& path, const QString& opened, Detail detail, Check checking) {
    RecordContents contents;
    const QFileInfo file(path);
    if (!file.exists())
        return contents;
    if (!file.isReadable()) {
        contents.state = RecordContents::State::Unreadable;
        contents.problem = QStringLiteral("le fichier ne peut pas être lu");
        return contents;
    }
    std::vector<RoundRecord> keptAside = readKeptAside(path);
    withSqliteConnection(QStringLiteral("reading"), [&](QSqlDatabase& db) {
        if (!openReadOnly(db, opened)) {
            contents.state = RecordContents::State::Unreadable;
            contents.problem = QStringLiteral("le fichier ne peut pas être ouvert");
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
                contents.state = causeOf(q.lastError(), path) == Cause::Corrupt
                                     ? RecordContents::State::Damaged
                                     : RecordContents::State::Unreadable;
                contents.problem = QStringLiteral("le fichier ne peut pas être lu");
            } else if (const int version = q.value(0).toInt();
                       version > RecordStore::schemaVersion) {
                contents.state = RecordContents::State::Newer;
            } else if (version > 0) {
                q.finish();
                if (q.exec(QStringLiteral("SELECT COUNT(*) FROM rounds")) && q.next())
                    contents.roundsClaimed = q.value(0).toLongLong();
                q.finish();
                // Damage can make a scan end early without an error: the
                // check tells, and what is read is then read again, around
                // it. The check reads the whole file, as the reading does,
                // on a connection and a thread of its own, beside it.
                std::future<std::optional<bool>> check;
                if (checking == Check::Now)
                    check =
                        std::async(std::launch::async, [&opened] { return checkedOpened(opened); });
                bool damaged = false;
                contents.rounds = readRounds(db, version, damaged, detail);
                bool whole = true;
                if (check.valid()) {
                    const std::optional<bool> checked = check.get();
                    whole = checked ? *checked : wholeFile(db);
                }
                if (!whole) {
                    damaged = true;
                    contents.rounds = readRounds(db, version, damaged, detail);
                }
                addKeptAside(std::move(keptAside), contents.rounds);
                contents.state =
                    damaged ? RecordContents::State::Damaged : RecordContents::State::Whole;
            } else {
                // Made, but nothing written in yet (a disk full from the
                // first game): the rounds kept aside are all there is.
                contents.state = RecordContents::State::Whole;
                addKeptAside(std::move(keptAside), contents.rounds);
            }
        }
    });
    return contents;
}

// What tells that a game wrote to the record: the file itself, to the
// nanosecond (a checkpoint takes less than a millisecond), and its log's
// header, whose salts change when the log starts again from its beginning.
// Frames added to the log change neither: a copy that has only some of them
// still reads whole.
std::pair<std::tuple<qint64, qint64, qint64>, QByteArray> writingStamp(const QString& path) {
    QFile log(path + QStringLiteral("-wal"));
    const QByteArray header = log.open(QIODevice::ReadOnly) ? log.read(32) : QByteArray("none");
    return {changeOf(path), header};
}

} // namespace

// A record without its log is read as an immutable file, which sees nothing
// that a game starting meanwhile writes, and one with its log is read from a
// copy, which a checkpoint meanwhile can tear: a reading during which the
// record changed is done again.
RecordContents readRecord(const QString& path, Detail detail, Check check) {
    RecordContents contents;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const auto before = writingStamp(path);
        const ReadableRecord readable(path);
        contents = readOnce(path, readable.path(), detail, check);
        // A damaged header hides every round from SQLite, and a damaged frame
        // of the log every frame after it: what they hide is read apart, in
        // the copy that was read, which a game writing meanwhile leaves whole.
        if (contents.state == RecordContents::State::Damaged ||
            (readable.logSteady() && logDamaged(readable.path()))) {
            contents.state = RecordContents::State::Damaged;
            addKeptAside(salvageRounds(readable.path(), detail), contents.rounds);
            addKeptAside(readKeptAside(path), contents.rounds);
            std::stable_sort(
                contents.rounds.begin(), contents.rounds.end(),
                [](const RoundRecord& a, const RoundRecord& b) { return a.started < b.started; });
        }
        if (writingStamp(path) == before)
            break;
    }
    return contents;
}

} // namespace quiltaro
