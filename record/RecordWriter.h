#pragma once

#include "RecordStore.h"
#include "Spill.h"
#include "Worker.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>

namespace quiltaro {

// Writes finished rounds to the store on a thread of its own (a Worker), so
// that the game never waits for the disk: opening, migrating, a record
// another copy holds, a full disk. A round the record cannot take at once is
// kept on disk beside it (Spill) by a second thread within a fraction of a
// second, so that it survives the program's end and a kill. That second
// thread also decides when the writer ends: once everything is in the record
// or beside it, or at the deadline it was given.
class RecordWriter {
public:
    using Clock = std::chrono::steady_clock;
    // Told on the writer's thread, with the record's path, each time rounds
    // went into the record.
    using Written = std::function<void(const QString&)>;
    explicit RecordWriter(RecordStore& store, Written written = {});
    ~RecordWriter(); // stops at once, keeping aside what is not written
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Hands a round over; returns at once.
    void add(RoundRecord round);
    // Rounds handed over and not yet in the record, once the writer has tried
    // every one of them at least once.
    size_t waiting();
    // Whether a round not yet in the record is only in memory.
    bool onlyInMemory();
    // Returns at once: the threads write what they can, keep aside what
    // they could not a little before `deadline`, then end. The writers of
    // a class are all told, then waited for together.
    void stopBy(Clock::time_point deadline);
    // Whether both threads have ended by `deadline`.
    bool waitUntil(Clock::time_point deadline);

    // More than this many unwritten rounds (a disk full for a whole day of
    // games): the oldest go, so that memory stays bounded.
    static constexpr size_t maxWaiting = 2000;

private:
    struct Pending {
        std::uint64_t id;
        RoundRecord round;
        Clock::time_point ended;
        bool spilled = false;
    };
    void writeLoop(const std::stop_token& stop);
    void spillLoop(const std::stop_token& stop);
    void stopWhenDue(const std::stop_token& stop);
    bool allKeptAside() const;
    void writeLeftovers();

    RecordStore& store_;
    Written written_;
    Spill spill_;
    std::mutex mutex_;
    std::condition_variable_any changed_; // with the workers' stop tokens
    std::deque<Pending> queue_;
    std::vector<std::uint64_t> writtenSpilled_; // in the record now, to be marked so aside
    std::uint64_t handed_ = 0;                  // rounds handed over so far
    std::uint64_t tried_ = 0;                   // handed over before the last attempt
    bool kicked_ = false;
    bool stopping_ = false;                  // the threads end
    std::optional<Clock::time_point> endBy_; // the program ends: stopping by then
    std::atomic<bool> interrupt_{false};
    Worker writer_; // last: they go first, before what they use
    Worker spiller_;
};

} // namespace quiltaro
