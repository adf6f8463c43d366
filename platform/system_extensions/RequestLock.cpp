#include "platform/system_extensions/RequestLock.hpp"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vorla::system_extensions {

namespace {

[[noreturn]] void failToLock(const std::string& path, int error) {
    throw std::system_error(error, std::generic_category(),
                            "cannot lock the system-extension registry with " + path);
}

int openLockFile(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    // The file only carries the lock; it is never written, so a fixed mode and no link.
    const int descriptor =
        ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        failToLock(path, errno);
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        failToLock(path, EINVAL);
    }
    return descriptor;
}

} // namespace

RequestLock::RequestLock(std::string path) : path_(std::move(path)) {}

RequestLock::~RequestLock() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

void RequestLock::acquire() {
    const std::lock_guard guard(mutex_);
    if (holds_ == 0) {
        const int descriptor = openLockFile(path_);
        while (::flock(descriptor, LOCK_EX) != 0) {
            if (errno != EINTR) {
                const int error = errno;
                ::close(descriptor);
                failToLock(path_, error);
            }
        }
        descriptor_ = descriptor;
    }
    ++holds_;
}

void RequestLock::release() {
    const std::lock_guard guard(mutex_);
    if (holds_ > 0 && --holds_ == 0) {
        // Closing the only descriptor of the open file gives the lock back.
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

} // namespace vorla::system_extensions
