#include "platform/preferences/ProfileFile.hpp"

#include "platform/preferences/PropertyListBounds.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorla::preferences {

namespace {

// The bytes of the open `file` when it is a regular file within the bound.
std::optional<std::string> regularFileBytes(int file) {
    struct stat status {};
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > static_cast<off_t>(maximumPropertyListSize)) {
        return std::nullopt;
    }
    // The file may grow after fstat: one byte beyond the bound tells.
    std::string contents(maximumPropertyListSize + 1, '\0');
    std::size_t filled = 0;
    while (filled < contents.size()) {
        const auto got = ::read(file, contents.data() + filled, contents.size() - filled);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        filled += static_cast<std::size_t>(got);
    }
    if (filled > maximumPropertyListSize) {
        return std::nullopt;
    }
    contents.resize(filled);
    return contents;
}

} // namespace

std::optional<std::string> profileBytes(const std::string& path) {
    // Opening without blocking lets a FIFO open at once; its type then refuses it.
    const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) {
        return std::nullopt;
    }
    auto contents = regularFileBytes(file);
    ::close(file);
    return contents;
}

} // namespace vorla::preferences
