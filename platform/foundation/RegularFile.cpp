#include "platform/foundation/RegularFile.hpp"

#include "platform/foundation/FoundationError.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorla::foundation {

OpenedFile openRegularFile(const std::string& path, int flags, mode_t mode, LastLink lastLink,
                           const char* operation) {
    flags |= O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (lastLink == LastLink::refuse) {
        flags |= O_NOFOLLOW;
    }
    const int descriptor = ::open(path.c_str(), flags, mode);
    if (descriptor < 0) {
        throwSystemError(operation, path);
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        const int code = errno;
        ::close(descriptor);
        errno = code;
        throwSystemError(operation, path);
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(descriptor);
        throw FoundationError(std::string(operation) + " \"" + path + "\": not a regular file",
                              EINVAL);
    }
    // O_NONBLOCK stays set: it spares the open a wait on a FIFO or a device, and on a regular
    // file it changes no read or write, so clearing it would cost two calls on every line.
    return {descriptor, static_cast<std::uint64_t>(status.st_size)};
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

Descriptor::~Descriptor() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

} // namespace vorla::foundation
