#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <span>
#include <stop_token>
#include <thread>

namespace quiltaro {

// The one way this program runs work on a thread of its own. The body is
// handed a stop token, and sleeps on it (std::condition_variable_any) so
// that a stop request wakes it at once; a wait on the network is cut by a
// std::stop_callback. A thread is never left running: the worker's end
// requests the stop and joins. Since a thread cannot be joined with a
// timeout, the body's end is signalled, and waited for until a deadline:
// an owner of several tells them all to stop, then waits for them together
// with one deadline, not one each (stopAll).
class Worker {
public:
    using Clock = std::chrono::steady_clock;
    using Body = std::function<void(std::stop_token)>;

    Worker() = default; // nothing runs until start()
    explicit Worker(Body body) { start(std::move(body)); }
    ~Worker(); // requests the stop and joins
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Runs `body` on a new thread; once per worker.
    void start(Body body);
    // Returns at once; the body sees it on its token.
    void requestStop();
    // Whether the body has returned by `deadline`; joined if so.
    bool waitUntil(Clock::time_point deadline);
    // Waits for the body to return, however long it takes.
    void join();
    // Whether the body has returned already.
    bool ended();

private:
    std::mutex mutex_;
    std::condition_variable endedChanged_;
    bool ended_ = false;
    std::jthread thread_; // last: it goes first, before what the body signals to
};

// Asks every worker to stop, then waits for all of them until `deadline`:
// whether all ended by then. Those that did not are joined by their end.
bool stopAll(std::span<Worker* const> workers, Worker::Clock::time_point deadline);

} // namespace quiltaro
