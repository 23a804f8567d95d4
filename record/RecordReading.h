#pragma once

#include "RecordStore.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QSqlDatabase;
class QTemporaryDir;

namespace quiltaro {

// What could be read of a record, and how whole it was.
struct RecordContents {
    enum class State { Missing, Whole, Damaged, Newer, Unreadable };
    State state = State::Missing;
    std::vector<RoundRecord> rounds; // oldest first
    qint64 roundsClaimed = -1;       // how many the file counts, when it could say
    QString problem;                 // in French, when the state is Unreadable
};

// How much of each round's guesses a reading brings: the guesses
// themselves, or only their counts (RoundRecord::counts), which spares a
// window that only draws counts the reading of every guess.
enum class Detail { Guesses, Counts };

// Whether a reading waits for SQLite's quick check of the whole file, which
// tells whether damage made a scan end early without an error: `Now`, and
// what was read is read again around the damage; `Apart` when the caller
// checks the file itself (checkedFile) and reads again if it must.
enum class Check { Now, Apart };

// Reads every round of the record at `path` without writing anything: no
// migration, no journal, no file created or moved, in a folder that can only
// be read. For the teacher's tools.
RecordContents readRecord(const QString& path, Detail detail = Detail::Guesses,
                          Check check = Check::Now);

// Whether the quick check finds the file at `path` whole, on a connection of
// the calling thread's; nothing when the file cannot be opened again.
std::optional<bool> checkedFile(const QString& path);

// The files of rounds kept beside the record at `recordPath` because it could
// not take them when they ended (see Spill), with their paths.
QStringList keptAsideFiles(const QString& recordPath);

// Every round that can be read through `db`, a record of schema `version`.
// A part that cannot be read is skipped and `damaged` set: what lies before
// and after a damaged page is still read.
std::vector<RoundRecord> readRounds(const QSqlDatabase& db, int version, bool& damaged,
                                    Detail detail = Detail::Guesses);

// Whether SQLite's quick check finds the file whole.
bool wholeFile(const QSqlDatabase& db);

// Opens `db` on `path` read-only: through its write-ahead log when one is
// beside it, else as an immutable file, so that not even the log's index is
// created beside it.
bool openReadOnly(QSqlDatabase& db, const QString& path);

// The file to open to read a record without writing anything beside it:
// the record itself, or, when its log is beside it, a copy of both in a
// folder of this login's own, gone with this object.
class ReadableRecord {
public:
    explicit ReadableRecord(const QString& record);
    ~ReadableRecord();
    ReadableRecord(const ReadableRecord&) = delete;
    ReadableRecord& operator=(const ReadableRecord&) = delete;
    const QString& path() const { return path_; }
    // Whether no game wrote to the log while it was copied: only then is a
    // frame that is not whole, with whole ones after it, damage.
    bool logSteady() const { return logSteady_; }

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString path_;
    bool logSteady_ = true;
};

} // namespace quiltaro
