#include "RecordWriter.h"

#include <algorithm>

namespace quiltaro {

namespace {
// A round waits this long for the record before it is kept aside.
constexpr auto spillAfter = std::chrono::milliseconds(300);
// The next attempt after a failed one: soon after another copy's write,
// later after a full disk.
constexpr auto retryBusy = std::chrono::milliseconds(50);
constexpr auto retryOther = std::chrono::milliseconds(1000);
// Rounds other copies left aside are looked for this often.
constexpr auto leftoverPeriod = std::chrono::seconds(10);
// What is not written by then is kept aside this long before the deadline
// its owner waits until: the time to write it beside the record.
constexpr auto keepAsideTime = std::chrono::milliseconds(150);
} // namespace

RecordWriter::RecordWriter(RecordStore& store, Written written)
    : store_(store), written_(std::move(written)), spill_(store.path()) {
    store_.interruptWhen(&interrupt_);
    writer_.start([this](std::stop_token stop) { writeLoop(stop); });
    spiller_.start([this](std::stop_token stop) { spillLoop(stop); });
}

RecordWriter::~RecordWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    interrupt_ = true;
    changed_.notify_all();
    // The workers' own ends join them: the spiller keeps aside what is
    // not written yet as it ends.
}

void RecordWriter::add(RoundRecord round) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back({++handed_, std::move(round), Clock::now()});
        while (queue_.size() > maxWaiting)
            queue_.pop_front();
        kicked_ = true;
    }
    changed_.notify_all();
}

size_t RecordWriter::waiting() {
    std::unique_lock lock(mutex_);
    const std::uint64_t handed = handed_;
    changed_.wait_for(lock, std::chrono::seconds(60),
                      [&] { return tried_ >= handed || stopping_; });
    return queue_.size();
}

bool RecordWriter::onlyInMemory() {
    const std::lock_guard lock(mutex_);
    return std::any_of(queue_.begin(), queue_.end(), [](const Pending& p) { return !p.spilled; });
}

void RecordWriter::stopBy(Clock::time_point deadline) {
    {
        const std::lock_guard lock(mutex_);
        const Clock::time_point by = deadline - keepAsideTime;
        endBy_ = endBy_ ? std::min(*endBy_, by) : by;
    }
    changed_.notify_all();
}

bool RecordWriter::waitUntil(Clock::time_point deadline) {
    const bool wrote = writer_.waitUntil(deadline);
    return spiller_.waitUntil(deadline) && wrote;
}

bool RecordWriter::allKeptAside() const {
    return std::all_of(queue_.begin(), queue_.end(), [](const Pending& p) { return p.spilled; });
}

// On the spiller's thread, under the lock: everything in the record, or at
// least on disk beside it, or the time given is up, or the owner goes.
void RecordWriter::stopWhenDue(const std::stop_token& stop) {
    if (stopping_ ||
        !(stop.stop_requested() || (endBy_ && (Clock::now() >= *endBy_ || allKeptAside()))))
        return;
    stopping_ = true;
    interrupt_ = true; // a migration under way is rolled back, to be done next time
    changed_.notify_all();
}

void RecordWriter::writeLoop(const std::stop_token& stop) {
    Clock::time_point nextAttempt = Clock::now();
    Clock::time_point nextLeftovers = Clock::now();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        changed_.wait_until(lock, stop, std::min(nextAttempt, nextLeftovers), [&] {
            return stopping_ || kicked_ || (!queue_.empty() && Clock::now() >= nextAttempt);
        });
        if (stopping_ || stop.stop_requested())
            break;
        kicked_ = false;
        const std::uint64_t handed = handed_;
        bool failed = false, wroteAny = false;
        while (!queue_.empty() && !stopping_) {
            const Pending front = queue_.front();
            lock.unlock();
            const bool written = store_.write(front.round);
            lock.lock();
            if (!written) {
                // Even a record that will take nothing more this run drops
                // no round: they are kept aside for the next.
                failed = true;
                break;
            }
            wroteAny = true;
            if (!queue_.empty() && queue_.front().id == front.id) {
                if (queue_.front().spilled)
                    writtenSpilled_.push_back(front.id);
                queue_.pop_front();
            }
        }
        tried_ = handed;
        if (written_ && wroteAny) {
            lock.unlock();
            written_(store_.path());
            lock.lock();
        }
        // With everything written, the next round wakes the thread: until
        // then it sleeps (the rounds left aside by others aside).
        nextAttempt = Clock::now() + (!failed              ? Clock::duration(leftoverPeriod)
                                      : store_.foundBusy() ? Clock::duration(retryBusy)
                                                           : Clock::duration(retryOther));
        changed_.notify_all();
        if (!failed && queue_.empty() && Clock::now() >= nextLeftovers) {
            lock.unlock();
            writeLeftovers();
            lock.lock();
            nextLeftovers = Clock::now() + leftoverPeriod;
        }
    }
    lock.unlock();
    store_.release();
}

void RecordWriter::writeLeftovers() {
    if (!store_.isOpen() && !store_.usable())
        return;
    bool wroteAny = false;
    for (Spill::Leftover& leftover : Spill::leftovers(store_.path())) {
        const bool written = !leftover.rounds.empty() && store_.writeRecovered(leftover.rounds);
        wroteAny = wroteAny || written;
        Spill::finish(leftover, leftover.rounds.empty() || written);
    }
    if (written_ && wroteAny)
        written_(store_.path());
}

void RecordWriter::spillLoop(const std::stop_token& stop) {
    // While the disk still has room: the rounds of a disk that fills go there.
    spill_.reserve();
    std::unique_lock lock(mutex_);
    for (;;) {
        stopWhenDue(stop);
        const bool stopping = stopping_;
        // Rounds that waited too long, and rounds written since they were kept aside.
        std::vector<Pending> toSpill;
        Clock::time_point nextDue = Clock::time_point::max();
        for (const Pending& p : queue_)
            if (!p.spilled) {
                if (stopping || Clock::now() - p.ended >= spillAfter)
                    toSpill.push_back(p);
                else
                    nextDue = std::min(nextDue, p.ended + spillAfter);
            }
        std::vector<std::uint64_t> written;
        written.swap(writtenSpilled_);
        lock.unlock();
        std::vector<std::uint64_t> spilled;
        for (const Pending& p : toSpill)
            if (spill_.add(p.id, p.round))
                spilled.push_back(p.id);
            else // neither in the record nor beside it: lost if the program ends now
                store_.tellNothingKept();
        for (std::uint64_t id : written)
            spill_.written(id);
        lock.lock();
        for (std::uint64_t id : spilled) {
            const auto found = std::find_if(queue_.begin(), queue_.end(),
                                            [id](const Pending& p) { return p.id == id; });
            if (found != queue_.end())
                found->spilled = true;
            else
                writtenSpilled_.push_back(id); // written meanwhile
        }
        if (!spilled.empty())
            changed_.notify_all();
        if (stopping) {
            lock.unlock();
            spill_.release();
            return;
        }
        // A round handed over meanwhile has a time of its own to be kept aside by.
        const std::uint64_t seen = handed_;
        const Clock::time_point wake =
            std::min({nextDue, Clock::now() + std::chrono::seconds(1), endBy_.value_or(nextDue)});
        changed_.wait_until(lock, stop, wake, [&] {
            return stopping_ || !writtenSpilled_.empty() || handed_ != seen ||
                   (endBy_ && allKeptAside());
        });
    }
}

} // namespace quiltaro
