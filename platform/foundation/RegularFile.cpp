#include "platform/foundation/RegularFile.hpp"

#include "platform/foundation/FoundationError.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorla::foundation {

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

Descriptor::~Descriptor() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

OpenedFile openRegularFile(int folder, const std::string& name, int flags, mode_t mode,
                           LastLink lastLink, const std::string& shownPath, const char* operation) {
    flags |= O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (lastLink == LastLink::refuse) {
        flags |= O_NOFOLLOW;
    }
    Descriptor descriptor(::openat(folder, name.c_str(), flags, mode));
    if (descriptor.get() < 0) {
        throwSystemError(operation, shownPath);
    }
    struct stat status {};
    if (::fstat(descriptor.get(), &status) != 0) {
        throwSystemError(operation, shownPath);
    }
    if (!S_ISREG(status.st_mode)) {
        throw FoundationError(std::string(operation) + " \"" + shownPath + "\": not a regular file",
                              EINVAL);
    }
    // O_NONBLOCK stays set: it spares the open a wait on a FIFO or a device, and on a regular
    // file it changes no read or write, so clearing it would cost two calls on every line.
    return {std::move(descriptor), attributesOf(status)};
}

std::string readToEnd(int descriptor, const std::string& shownPath, std::uint64_t sizeLimit) {
    std::string contents;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            throwSystemError("could not read", shownPath);
        }
        if (count == 0) {
            return contents;
        }
        contents.append(buffer, static_cast<std::size_t>(count));
        if (contents.size() > sizeLimit) {
            throw FoundationError("could not read \"" + shownPath + "\": larger than " +
                                      std::to_string(sizeLimit) + " bytes",
                                  EFBIG);
        }
    }
}

std::string systemPath(std::string_view path, const char* operation) {
    std::string text(path);
    if (text.find('\0') != std::string::npos) {
        throw FoundationError(std::string(operation) + " \"" + text.substr(0, text.find('\0')) +
                                  "\": the path holds a zero byte",
                              EINVAL);
    }
    return text;
}

} // namespace vorla::foundation
