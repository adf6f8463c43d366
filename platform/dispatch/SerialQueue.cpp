#include "platform/dispatch/SerialQueue.hpp"

#include "platform/dispatch/Pool.hpp"

#include <condition_variable>

namespace vorla::dispatch::detail {

namespace {
// The queue whose item the calling thread is running, if any.
thread_local const SerialQueue* currentQueue = nullptr;
// How many items one pool job runs before it lets other queues have the worker.
constexpr int batchSize = 64;
} // namespace

SerialQueue::SerialQueue(std::string label, Runner runner)
    : label_(std::move(label)), runner_(runner) {}

void SerialQueue::async(Work work) {
    bool schedule = false;
    {
        const std::lock_guard lock(mutex_);
        items_.push_back(std::move(work));
        if (runner_ == Runner::pool) {
            Pool::shared().addOutstanding();
            schedule = !scheduled_;
            scheduled_ = true;
        }
    }
    if (runner_ == Runner::mainThread) {
        wakeMainThread();
    } else if (schedule) {
        Pool::shared().submit([self = shared_from_this()] { self->runBatch(); });
    }
}

void SerialQueue::sync(Work work) {
    if (isCurrent()) {
        work();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    async([&] {
        runGuarded(work, label_);
        const std::lock_guard lock(doneMutex);
        done = true;
        doneSignal.notify_one();
    });
    std::unique_lock lock(doneMutex);
    doneSignal.wait(lock, [&] { return done; });
}

bool SerialQueue::isCurrent() const {
    return currentQueue == this;
}

bool SerialQueue::runOne() {
    Work work;
    {
        const std::lock_guard lock(mutex_);
        if (items_.empty()) {
            scheduled_ = false;
            return false;
        }
        work = std::move(items_.front());
        items_.pop_front();
    }
    const SerialQueue* const outer = currentQueue;
    currentQueue = this;
    runGuarded(work, label_);
    work = nullptr;
    currentQueue = outer;
    if (runner_ == Runner::pool) {
        Pool::shared().removeOutstanding();
    }
    return true;
}

void SerialQueue::runBatch() {
    for (int count = 0; count < batchSize; ++count) {
        if (!runOne()) {
            return;
        }
    }
    // More items are waiting: go to the back of the pool's line instead of holding a worker.
    Pool::shared().submit([self = shared_from_this()] { self->runBatch(); });
}

void SerialQueue::runPending() {
    while (runOne()) {
    }
}

} // namespace vorla::dispatch::detail
