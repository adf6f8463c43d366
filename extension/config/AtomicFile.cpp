#include "extension/config/AtomicFile.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace vorla {

namespace {

[[noreturn]] void fail(const std::string& step, const std::string& path, int error) {
    throw std::runtime_error("could not " + step + " " + path + ": " + std::strerror(error));
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// 0, or the reason the first failing step gave.
int fillTemporary(int descriptor, std::string_view contents, mode_t permissions) {
    while (!contents.empty()) {
        const ssize_t written = write(descriptor, contents.data(), contents.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? errno : EIO;
        }
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
    if (fchmod(descriptor, permissions) != 0 || fsync(descriptor) != 0) {
        return errno;
    }
    return 0;
}

// The folder's entry for the new name survives a crash only once the folder itself is synced.
void syncFolder(const std::string& folder) {
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
}

} // namespace

void writeFileAtomically(const std::string& path, std::string_view contents, mode_t permissions) {
    const std::string folder = folderOf(path);
    std::string temporary = path + ".tmp-XXXXXX";
    const int descriptor = mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        fail("create a temporary file in", folder, errno);
    }
    int error = fillTemporary(descriptor, contents, permissions);
    if (close(descriptor) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporary.c_str());
        fail("write", temporary, error);
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
        unlink(temporary.c_str());
        fail("replace", path, error);
    }
    syncFolder(folder);
}

} // namespace vorla
