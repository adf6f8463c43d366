#pragma once

#include <pthread.h>

#include <memory>

namespace vorla::logging {

// A POSIX mutex, usable with std::lock_guard. A failure of the primitive stops the process.
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    void lock();
    void unlock();

private:
    // Kept at a fixed address of its own, since a POSIX mutex must not move.
    std::unique_ptr<pthread_mutex_t> mutex_;
};

} // namespace vorla::logging
