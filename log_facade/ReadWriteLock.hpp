#pragma once

#include <pthread.h>

#include <memory>

namespace vorla::logging {

// A POSIX reader/writer lock: readers share it, a writer has it alone. Its operations have the
// standard names, so std::shared_lock brackets a read and std::unique_lock a write. A failure
// of the underlying primitive stops the process.
class ReadWriteLock {
public:
    ReadWriteLock();
    ~ReadWriteLock();
    ReadWriteLock(const ReadWriteLock&) = delete;
    ReadWriteLock& operator=(const ReadWriteLock&) = delete;

    void lock_shared();
    void unlock_shared();
    void lock();
    void unlock();

private:
    // Kept at a fixed address of its own, since a POSIX lock must not move.
    std::unique_ptr<pthread_rwlock_t> rwlock_;
};

} // namespace vorla::logging
