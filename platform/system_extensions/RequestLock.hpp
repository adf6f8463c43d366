#pragma once

#include "platform/system_extensions/Registry.hpp"

#include <chrono>
#include <mutex>
#include <string>

namespace vorla::system_extensions {

// The exclusive lock that serialises the requests of every process sharing one registry: a
// `flock` on "<registry>.lock" in the registry's folder, mode 0600, so that only root (or the
// user the service runs as) can open it and hold it. Holds are counted, so an answer may keep
// the lock past the request that took it; the file lock is taken by the first hold and given
// back by the last.
class RequestLock {
public:
    RequestLock(const Registry& registry, std::chrono::milliseconds longestWait);
    ~RequestLock();
    RequestLock(const RequestLock&) = delete;
    RequestLock& operator=(const RequestLock&) = delete;

    // Waits until no other process holds the lock, at most the longest wait; then throws
    // std::runtime_error saying that the registry is busy. Throws std::runtime_error naming the
    // file and the reason when it may not be used: a link, a FIFO, anything but a regular file
    // of a trusted owner, is refused, never followed or waited for.
    void acquire();
    void release();

    // One hold for the life of a scope.
    class Hold {
    public:
        explicit Hold(RequestLock& lock) : lock_(lock) { lock_.acquire(); }
        ~Hold() { lock_.release(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        RequestLock& lock_;
    };

private:
    Registry registry_;
    std::string name_;
    std::chrono::milliseconds longestWait_;
    std::mutex mutex_;
    int descriptor_ = -1;
    int holds_ = 0;
};

} // namespace vorla::system_extensions
