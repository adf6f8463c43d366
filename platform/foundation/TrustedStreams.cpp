#include "platform/foundation/TrustedStreams.hpp"

#include "platform/foundation/Folder.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/Trust.hpp"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace vorla::foundation {

namespace {

constexpr const char* openForReading = "could not open for reading";

// The verified folder of a file and the file's name in it.
struct Place {
    Folder folder;
    std::string name;
    std::string shownPath;
};

Place placeOf(std::string_view path, const char* operation) {
    std::string target = systemPath(path, operation);
    if (!target.empty() && target.front() != '/') {
        std::error_code error;
        const auto here = std::filesystem::current_path(error);
        if (error) {
            errno = error.value();
            throwSystemError(operation, target);
        }
        target = (here / target).string();
    }
    const auto slash = target.rfind('/');
    std::string name = slash == std::string::npos ? std::string() : target.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        errno = EINVAL;
        throwSystemError(operation, target);
    }
    Folder folder =
        Folder::open(std::string_view(target).substr(0, std::max<std::size_t>(slash, 1)), {});
    std::string shown = folder.pathOf(name);
    return {std::move(folder), std::move(name), std::move(shown)};
}

void checkTrusted(const FileAttributes& attributes, const std::string& shownPath) {
    if (const auto reason = untrustedReason(attributes, shownPath)) {
        throw UntrustedError(*reason);
    }
}

void checkStream(int descriptor, const std::string& shownPath, const char* operation) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        throwSystemError(operation, shownPath);
    }
    if (!S_ISREG(status.st_mode) && !S_ISFIFO(status.st_mode)) {
        throw FoundationError(
            std::string(operation) + " \"" + shownPath + "\": not a regular file or FIFO", EINVAL);
    }
    checkTrusted(attributesOf(status), shownPath);
}

} // namespace

OpenedFile openTrustedForAppending(std::string_view path, std::uint16_t permissions) {
    constexpr const char* operation = "could not open for appending";
    const Place place = placeOf(path, operation);
    // Without O_EXCL a file that exists is opened too, and then judged by what the descriptor
    // shows, never by its name, so nothing can be swapped in between.
    OpenedFile file =
        openRegularFile(place.folder.descriptor(), place.name, O_WRONLY | O_APPEND | O_CREAT,
                        permissions, LastLink::refuse, place.shownPath, operation);
    checkTrusted(file.attributes, place.shownPath);
    return file;
}

Descriptor openTrustedStream(std::string_view path) {
    const Place place = placeOf(path, openForReading);
    // A path descriptor opens nothing, so no FIFO waits and no device acts before the checks;
    // a link at the end is taken as itself, and refused as no stream, unless it is a trusted
    // process's descriptor link (/dev/fd/<n> leads there): the kernel resolves those to what
    // that process holds open, not through a path that anybody could steer.
    int flags = O_PATH | O_NOFOLLOW | O_CLOEXEC;
    struct stat status {};
    struct statfs system {};
    if (::fstatat(place.folder.descriptor(), place.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) ==
            0 &&
        S_ISLNK(status.st_mode) && ::fstatfs(place.folder.descriptor(), &system) == 0 &&
        system.f_type == PROC_SUPER_MAGIC) {
        checkTrusted(attributesOf(status), place.shownPath);
        flags &= ~O_NOFOLLOW;
    }
    const Descriptor located(::openat(place.folder.descriptor(), place.name.c_str(), flags));
    if (located.get() < 0) {
        throwSystemError(openForReading, place.shownPath);
    }
    checkStream(located.get(), place.shownPath, openForReading);
    // The object that was checked, reached through its descriptor rather than its name again.
    Descriptor opened(::open(("/proc/self/fd/" + std::to_string(located.get())).c_str(),
                             O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (opened.get() < 0) {
        throwSystemError(openForReading, place.shownPath);
    }
    return opened;
}

void checkTrustedStream(int descriptor, const std::string& shownPath) {
    checkStream(descriptor, shownPath, "could not read from");
}

} // namespace vorla::foundation
