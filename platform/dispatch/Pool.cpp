#include "platform/dispatch/Pool.hpp"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace vorla::dispatch::detail {

Pool& Pool::shared() {
    // Never destroyed: work may still be running while the process exits.
    static Pool* const pool = new Pool();
    return *pool;
}

void Pool::startWorkers() {
    if (!workers_.empty()) {
        return;
    }
    const unsigned count = std::max(4U, std::thread::hardware_concurrency());
    for (unsigned index = 0; index < count; ++index) {
        workers_.emplace_back([this] { workerLoop(); }).detach();
    }
}

void Pool::submit(Work job) {
    {
        const std::lock_guard lock(mutex_);
        startWorkers();
        jobs_.push_back(std::move(job));
        ++outstanding_;
    }
    jobAvailable_.notify_one();
}

void Pool::addOutstanding() {
    const std::lock_guard lock(mutex_);
    ++outstanding_;
}

void Pool::removeOutstanding() {
    const std::lock_guard lock(mutex_);
    if (--outstanding_ == 0) {
        idle_.notify_all();
    }
}

void Pool::waitUntilIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return outstanding_ == 0; });
}

void Pool::workerLoop() {
    for (;;) {
        Work job;
        {
            std::unique_lock lock(mutex_);
            jobAvailable_.wait(lock, [this] { return !jobs_.empty(); });
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        runGuarded(job, "background task");
        job = nullptr;
        removeOutstanding();
    }
}

void runGuarded(const Work& work, const std::string& where) {
    try {
        work();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dispatch: uncaught error in %s: %s\n", where.c_str(), error.what());
    } catch (...) {
        std::fprintf(stderr, "dispatch: uncaught error in %s\n", where.c_str());
    }
}

} // namespace vorla::dispatch::detail
