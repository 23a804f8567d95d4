#include "Worker.h"

namespace quiltaro {

Worker::~Worker() {
    requestStop();
    join();
}

void Worker::start(Body body) {
    thread_ = std::jthread([this, body = std::move(body)](std::stop_token stop) {
        body(std::move(stop));
        {
            const std::lock_guard lock(mutex_);
            ended_ = true;
        }
        endedChanged_.notify_all();
    });
}

void Worker::requestStop() {
    thread_.request_stop();
}

bool Worker::waitUntil(Clock::time_point deadline) {
    if (!thread_.joinable())
        return true;
    {
        std::unique_lock lock(mutex_);
        if (!endedChanged_.wait_until(lock, deadline, [&] { return ended_; }))
            return false;
    }
    thread_.join();
    return true;
}

void Worker::join() {
    if (thread_.joinable())
        thread_.join();
}

bool Worker::ended() {
    const std::lock_guard lock(mutex_);
    return ended_ || !thread_.joinable();
}

bool stopAll(std::span<Worker* const> workers, Worker::Clock::time_point deadline) {
    for (Worker* worker : workers)
        worker->requestStop();
    bool all = true;
    for (Worker* worker : workers)
        all = worker->waitUntil(deadline) && all;
    return all;
}

} // namespace quiltaro
