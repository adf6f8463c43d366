#include "log_facade/Lock.hpp"

#include "log_facade/LockFailure.hpp"

namespace vorla::logging {

Lock::Lock() : mutex_(std::make_unique<pthread_mutex_t>()) {
    stopOnLockFailure(pthread_mutex_init(mutex_.get(), nullptr));
}

Lock::~Lock() {
    stopOnLockFailure(pthread_mutex_destroy(mutex_.get()));
}

void Lock::lock() {
    stopOnLockFailure(pthread_mutex_lock(mutex_.get()));
}

void Lock::unlock() {
    stopOnLockFailure(pthread_mutex_unlock(mutex_.get()));
}

} // namespace vorla::logging
