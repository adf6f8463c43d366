#include "platform/system_extensions/RequestLock.hpp"

#include "platform/foundation/Trust.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vorla::system_extensions {

namespace {

using namespace std::chrono_literals;

constexpr std::uint16_t lockPermissions = 0600;

[[noreturn]] void failToLock(const std::string& reason) {
    throw std::runtime_error("cannot lock the system-extension registry: " + reason);
}

foundation::Descriptor openLockFile(const Registry& registry, const std::string& name) {
    const std::string shown = registry.path() + ".lock";
    try {
        const auto folder = registry.openFolder();
        // Only carries the lock and is never written: opened for reading, created if missing.
        auto lock = foundation::openRegularFile(folder.descriptor(), name, O_RDONLY | O_CREAT,
                                                lockPermissions, foundation::LastLink::refuse,
                                                shown, "could not open the lock");
        if (const auto reason = foundation::untrustedReason(lock.attributes, shown)) {
            failToLock(*reason);
        }
        // Whatever the umask made of a new one, or an older one that others could open: a
        // descriptor is all that flock needs, so nobody else may have one.
        if ((lock.attributes.posixPermissions & 07777) != lockPermissions &&
            ::fchmod(lock.descriptor.get(), lockPermissions) != 0) {
            failToLock("could not set the permissions of \"" + shown +
                       "\": " + std::strerror(errno));
        }
        return std::move(lock.descriptor);
    } catch (const foundation::FoundationError& error) {
        failToLock(error.what());
    }
}

// Tries the lock until the deadline. flock has no timed form and a timer signal would reach
// whatever thread of the caller, so the wait polls, backing off from 1 ms to 50 ms: a free lock
// is taken at once and a held one costs a few wake-ups a second.
bool lockBefore(int descriptor, std::chrono::steady_clock::time_point deadline,
                const std::string& shown) {
    auto pause = 1ms;
    while (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            failToLock("could not lock \"" + shown + "\": " + std::strerror(errno));
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, 50ms);
    }
    return true;
}

} // namespace

RequestLock::RequestLock(const Registry& registry, std::chrono::milliseconds longestWait)
    : registry_(registry), name_(registry.name() + ".lock"), longestWait_(longestWait) {}

RequestLock::~RequestLock() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

void RequestLock::acquire() {
    const std::lock_guard guard(mutex_);
    if (holds_ == 0) {
        foundation::Descriptor descriptor = openLockFile(registry_, name_);
        const std::string shown = registry_.path() + ".lock";
        if (!lockBefore(descriptor.get(), std::chrono::steady_clock::now() + longestWait_, shown)) {
            const auto wait = longestWait_.count();
            throw std::runtime_error(
                "the system-extension registry is busy: another request has held " + shown +
                " for " +
                (wait % 1000 == 0 ? std::to_string(wait / 1000) + " s"
                                  : std::to_string(wait) + " ms") +
                "; try again later");
        }
        descriptor_ = descriptor.release();
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
