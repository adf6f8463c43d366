#include "log_facade/ReadWriteLock.hpp"

#include "log_facade/LockFailure.hpp"

namespace vorla::logging {

ReadWriteLock::ReadWriteLock() : rwlock_(std::make_unique<pthread_rwlock_t>()) {
    stopOnLockFailure(pthread_rwlock_init(rwlock_.get(), nullptr));
}

ReadWriteLock::~ReadWriteLock() {
    stopOnLockFailure(pthread_rwlock_destroy(rwlock_.get()));
}

void ReadWriteLock::lock_shared() {
    stopOnLockFailure(pthread_rwlock_rdlock(rwlock_.get()));
}

void ReadWriteLock::unlock_shared() {
    unlock();
}

void ReadWriteLock::lock() {
    stopOnLockFailure(pthread_rwlock_wrlock(rwlock_.get()));
}

void ReadWriteLock::unlock() {
    stopOnLockFailure(pthread_rwlock_unlock(rwlock_.get()));
}

} // namespace vorla::logging
