#pragma once

#include <mutex>
#include <string>

namespace vorla::system_extensions {

// The exclusive lock that serialises the requests of every process sharing one registry: a
// `flock` on a file beside it. Holds are counted, so an answer may keep the lock past the
// request that took it; the file lock is taken by the first hold and given back by the last.
class RequestLock {
public:
    explicit RequestLock(std::string path);
    ~RequestLock();
    RequestLock(const RequestLock&) = delete;
    RequestLock& operator=(const RequestLock&) = delete;

    // Waits until no other process holds the lock. Throws std::system_error naming the file
    // when it cannot be opened or locked; a link or special file is refused, never followed.
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
    std::string path_;
    std::mutex mutex_;
    int descriptor_ = -1;
    int holds_ = 0;
};

} // namespace vorla::system_extensions
