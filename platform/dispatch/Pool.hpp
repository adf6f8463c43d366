#pragma once

#include "platform/dispatch/Dispatch.hpp"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace vorla::dispatch::detail {

// The worker threads behind every serial queue and background task. It counts the work it
// has been given and not yet finished, so that drain() can wait for all of it. The workers
// start with the first job: a process that only waits for the pool never starts them.
class Pool {
public:
    static Pool& shared();

    // Runs a job on a worker; the job counts as outstanding until it returns.
    void submit(Work job);
    // Outstanding work that is not a pool job of its own (items waiting in a serial queue).
    void addOutstanding();
    void removeOutstanding();
    void waitUntilIdle();

private:
    Pool() = default;
    // Starts the workers unless they run already; called with the mutex held.
    void startWorkers();
    void workerLoop();

    std::mutex mutex_;
    std::condition_variable jobAvailable_;
    std::condition_variable idle_;
    std::deque<Work> jobs_;
    std::size_t outstanding_ = 0;
    std::vector<std::thread> workers_;
};

// Runs one work item, keeping an exception inside it from ending the process.
void runGuarded(const Work& work, const std::string& where);

} // namespace vorla::dispatch::detail
