#pragma once

#include "RoundObserver.h"

#include <QAnyStringView>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

class QSqlError;
class QSqlQuery;

namespace quiltaro {

// How a round ended. Unknown: a newer version stored an ending this one
// does not know (RoundRecord::unknown keeps its word).
enum class Ending { Won, GaveUp, NewRound, ProgramEnd, Unknown };

struct Guess {
    std::string answer; // as typed, with a decimal point
    // None when a newer version stored a verdict this one does not know: it
    // is no verdict of this version's rules, and counts as none of them.
    std::optional<Verdict> verdict;
    bool operator==(const Guess&) const = default;
};

// The words a newer version stored that this one does not know, kept as
// they were stored: shown as they are, written back as they are.
struct UnknownWords {
    QString ending;                                   // when the ending is Unknown
    std::vector<std::pair<size_t, QString>> verdicts; // by guess, when its verdict is none
    bool operator==(const UnknownWords&) const = default;
};
// Shared by the copies of a round, and empty in all but the rare round a
// newer version wrote: a round read stays small.
struct KeptWords {
    std::shared_ptr<UnknownWords> words;
    bool operator==(const KeptWords& other) const {
        return words == other.words || (words && other.words && *words == *other.words);
    }
};

// One finished round, as it is written.
struct RoundRecord {
    QString gameToken; // the game it belongs to; unique across copies of the program
    QString pupil;     // who played it; empty in rounds written before pupils had names
    // The pupil's class: a pupil is a first name within a class. Empty on a
    // personal login, for an unnamed class list, and in rounds written
    // before classes had names.
    QString className;
    QDateTime gameStarted;
    QDateTime started;
    QDateTime ended;
    int scoreBefore = 0;
    int scoreAfter = 0;
    double lowBound = 0;
    double highBound = 0;
    float redValue = 0;
    std::vector<Guess> guesses;
    Ending ending = Ending::ProgramEnd;
    // The kind of number the round was drawn at, and the levels the teacher
    // had set; unset in rounds written before levels could be set.
    std::optional<NumberKind> kind;
    std::optional<LevelRange> levels;
    // What a reading that only counts the guesses keeps of them (the
    // teacher's window, which draws counts): how many there were, and how
    // many lay outside the interval. Unset when the guesses were read.
    struct Counts {
        int tries = 0;
        int outside = 0;
        int unknown = 0; // verdicts this version does not know
        bool operator==(const Counts&) const = default;
    };
    std::optional<Counts> counts;
    KeptWords unknown;

    int tries() const { return counts ? counts->tries : static_cast<int>(guesses.size()); }
    int outsideAnswers() const {
        return counts ? counts->outside
                      : static_cast<int>(
                            std::count_if(guesses.begin(), guesses.end(), [](const Guess& g) {
                                return g.verdict == Verdict::Outside;
                            }));
    }
    int points() const { return scoreAfter - scoreBefore; }
    // Whether a newer version stored in it an ending or a verdict that this
    // one does not know.
    bool holdsUnknown() const {
        return ending == Ending::Unknown ||
               (counts ? counts->unknown > 0
                       : std::any_of(guesses.begin(), guesses.end(),
                                     [](const Guess& g) { return !g.verdict; }));
    }
    // The kind played: the one noted, else the one the score gave, which
    // was the only way to play before levels.
    NumberKind numberKind() const { return kind.value_or(kindForScore(scoreBefore)); }
    bool operator==(const RoundRecord&) const = default;
};

// How the readings know one round found twice (in a record and a file kept
// aside, in two copies of a record, read with counts then with guesses): by
// its game and its times.
using RoundKey = std::tuple<QString, qint64, qint64>;
inline RoundKey keyOf(const RoundRecord& r) {
    return {r.gameToken, r.started.toMSecsSinceEpoch(), r.ended.toMSecsSinceEpoch()};
}

// What goes wrong with the record. Each kind is told once per run.
// NothingKept: a round could neither go into the record nor be kept beside
// it, and lives only in memory until the program ends.
enum class Problem { Unwritable, DiskFull, Locked, Corrupt, NewerSchema, NothingKept, Other };

// Tells the person at the terminal what went wrong, in plain words, once for
// each kind of problem. The game goes on whatever it says.
class ProblemReport {
public:
    using Sink = std::function<void(const QString&)>;
    ProblemReport(); // to standard error
    explicit ProblemReport(Sink sink) : sink_(std::move(sink)) {}

    void tell(Problem problem, const QString& text);
    // Also hears every problem as it is first told, on the thread that told
    // it: what shows it in a window listens here.
    using Watch = std::function<void(Problem, const QString&)>;
    void watch(Watch watch) {
        const std::lock_guard lock(mutex_);
        watch_ = std::move(watch);
    }
    bool told(Problem problem) const {
        const std::lock_guard lock(mutex_);
        return told_.count(problem) > 0;
    }

private:
    Sink sink_;
    Watch watch_;
    std::set<Problem> told_;
    mutable std::mutex mutex_;
};

// The pupil's record: an SQLite database of games and their rounds, with
// every guess. Opened on first use, so that the game starts without waiting
// for the disk. Every failure is reported through the ProblemReport and
// answered by "not written"; it never throws and never stops the game. A
// store is used by one thread at a time: the one that opened it.
class RecordStore {
public:
    // The schema this program writes. Version 1 kept the guesses of a round in
    // one text column; version 2 gives each guess a row with its verdict;
    // version 3 names the pupil who played each game; version 4 marks the
    // rounds sent to the class's server; version 5 notes the kind of number
    // each round was played at and the levels set; version 6 never gives an
    // erased round's id again; version 7 names each game's class.
    static constexpr int schemaVersion = 7;

    RecordStore(QString path, ProblemReport& report);
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Where the program keeps the record: the user's data folder.
    static QString defaultPath();

    // Opens (creating, migrating, or setting a damaged file aside and carrying
    // over what can be read of it, as needed). False when the record cannot
    // be written now; usable() tells whether it may be later.
    bool open();
    // Writes one round in one transaction. False when it was not written; a
    // locked or full database may take it later.
    bool write(const RoundRecord& round);
    // Writes many rounds in one transaction: for generated records.
    bool writeMany(const std::vector<RoundRecord>& rounds);
    // Whether a later write can succeed (false after a newer schema, say).
    bool usable() const { return !disabled_; }
    // Whether the last write failed only because another copy held the record.
    bool foundBusy() const { return busy_; }
    // Whether this thread has the record open.
    bool isOpen() const;
    // Closes this thread's connection, before the thread ends.
    void release();
    // Long work (a migration) stops, rolled back, once *flag is true.
    void interruptWhen(const std::atomic<bool>* flag) { interrupt_ = flag; }
    // Writes rounds that may already be in the record (another copy's, kept
    // aside when it could not write them), each once.
    bool writeRecovered(const std::vector<RoundRecord>& rounds);
    // Whether the record lives with a rollback journal, the filesystem giving
    // the write-ahead log no shared memory.
    bool rollbackJournal() const { return noWal_; }

    // Every round, oldest first, with its guesses.
    std::vector<RoundRecord> readAll();
    // Erases every game; false when it could not.
    bool forget();
    // Erases the games of one pupil, leaving no copy of them in the file.
    bool forgetPupil(const QString& pupil);

    const QString& path() const { return path_; }
    // Tells that rounds of this record are in memory only.
    void tellNothingKept();
    // The file a damaged record was moved to, when that happened, and how many
    // of its rounds were carried over to the new one.
    const QString& setAside() const { return setAside_; }
    size_t carriedOver() const { return carriedOver_; }

private:
    enum class Opening { Done, Failed, Retry, Corrupt };
    Opening openOnce();
    Opening openingFailed(const QSqlError& error);
    bool openConnection();
    void closeConnection();
    bool makePrivateFile();
    bool chooseJournal(QSqlQuery& query);
    bool switchToWal(QSqlQuery& query) const;
    bool migrate();
    void indexOutsideAnswers();
    void setAsideDamagedFile();
    bool erase(const QString& pupil, std::initializer_list<const char*> statements);
    bool writeRounds(const RoundRecord* first, size_t count);
    bool writeInTransaction(const RoundRecord* first, size_t count, bool skipPresent = false);
    // Whether the path still names the file this store has open.
    bool stillTheOpenedFile() const;
    static bool insertRound(QSqlQuery& query, const RoundRecord& round, bool skipPresent);
    QString connection() const;
    // Reports a failed statement; true when the record can be written later.
    bool failed(const QSqlError& error);
    // Ends the transaction `query` runs in after `error`, and reports it;
    // always false, for the statement that failed.
    bool abandonTransaction(QSqlQuery& query, const QSqlError& error);
    void fail(Problem problem, const QString& detail);

    QString path_;
    ProblemReport& report_;
    QString connection_;
    QString setAside_;
    size_t carriedOver_ = 0;
    // Rounds read from a damaged file, written to the new one before anything else.
    std::vector<RoundRecord> toCarryOver_;
    int version_ = 0;          // of the file opened, before any migration
    std::uint64_t fileId_ = 0; // the opened file's device and inode, mixed
    bool opened_ = false;
    std::thread::id openedIn_;
    const std::atomic<bool>* interrupt_ = nullptr;
    bool disabled_ = false;
    bool corruptSeen_ = false; // by a statement; acted on once it is finished
    bool busy_ = false;
    bool noWal_ = false;
};

// The single-precision reading of an answer, as the rules judge it, and the
// verdicts of a round's guesses replayed on its interval.
std::vector<Verdict> replayVerdicts(double lowBound, double highBound, float redValue,
                                    const std::vector<std::string>& answers);

const char* endingName(Ending ending);
std::optional<Ending> endingFromName(QAnyStringView name);
const char* verdictName(Verdict verdict);
std::optional<Verdict> verdictFromName(QAnyStringView name);
// The words a store keeps for a round's ending and its guess's verdict: the
// word a newer version stored when this one does not know it.
QString endingWord(const RoundRecord& round);
QString verdictWord(const RoundRecord& round, size_t guess);
// The names of every verdict this version knows, quoted for SQL: what a
// query looks for outside of, and the index of the others.
QString knownVerdictsSql();
inline constexpr const char* unknownVerdictsIndex = "guesses_unknown";
// A round's kind and levels as the record and the class's server keep them:
// their names, or NULL (a null QVariant) when unset; what cannot be read is unset.
QVariant kindValue(const std::optional<NumberKind>& kind);
QVariant levelsValue(const std::optional<LevelRange>& levels);
std::optional<NumberKind> kindFromName(const QString& name);
std::optional<LevelRange> levelsFromName(const QString& name);

} // namespace quiltaro
