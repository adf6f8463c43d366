#include "platform/foundation/FileManager.hpp"

#include "platform/foundation/FoundationError.hpp"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorla::foundation {

namespace {

// Closes a descriptor when the scope ends.
class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    int get() const { return descriptor_; }

private:
    int descriptor_;
};

Date toDate(const struct timespec& time) {
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::seconds(time.tv_sec) +
                                                           std::chrono::nanoseconds(time.tv_nsec)));
}

} // namespace

std::shared_ptr<const FileManager> FileManager::defaultManager() {
    static const auto manager = std::make_shared<const FileManager>();
    return manager;
}

void FileManager::createDirectory(const URL& url) const {
    std::error_code error;
    std::filesystem::create_directories(url.toPath(), error);
    if (error) {
        errno = error.value();
        throwSystemError("could not create the folder", url.toPath());
    }
    if (!std::filesystem::is_directory(url.toPath(), error)) {
        errno = ENOTDIR;
        throwSystemError("could not create the folder", url.toPath());
    }
}

bool FileManager::fileExists(std::string_view path) const {
    struct stat status {};
    return ::lstat(std::string(path).c_str(), &status) == 0;
}

void FileManager::createFile(std::string_view path, std::string_view contents,
                             std::optional<std::uint16_t> posixPermissions,
                             bool replaceExisting) const {
    const std::string target(path);
    const int flags =
        O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | (replaceExisting ? O_TRUNC : O_EXCL);
    const Descriptor file(::open(target.c_str(), flags, posixPermissions.value_or(0666)));
    if (file.get() < 0) {
        throwSystemError("could not create the file", target);
    }
    // A file that could not be written whole is not left behind half-written.
    const auto fail = [&target](const char* operation) {
        const int code = errno;
        ::unlink(target.c_str());
        errno = code;
        throwSystemError(operation, target);
    };
    // The umask must not narrow permissions that were asked for explicitly.
    if (posixPermissions && ::fchmod(file.get(), *posixPermissions) != 0) {
        fail("could not set the permissions of");
    }
    std::string_view rest = contents;
    while (!rest.empty()) {
        const ssize_t written = ::write(file.get(), rest.data(), rest.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            fail("could not write to");
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::fsync(file.get()) != 0) {
        fail("could not synchronize");
    }
}

void FileManager::removeItem(std::string_view path) const {
    const std::string target(path);
    std::error_code error;
    if (std::filesystem::remove_all(target, error) == 0 || error) {
        errno = error ? error.value() : ENOENT;
        throwSystemError("could not remove", target);
    }
}

void FileManager::moveItem(const URL& from, const URL& to) const {
    const std::string source = from.toPath();
    const std::string destination = to.toPath();
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) ==
        0) {
        return;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        throwSystemError("could not move \"" + source + "\" to", destination);
    }
    // A file system without RENAME_NOREPLACE: a hard link refuses an existing name as well.
    if (::link(source.c_str(), destination.c_str()) != 0) {
        throwSystemError("could not move \"" + source + "\" to", destination);
    }
    if (::unlink(source.c_str()) != 0) {
        throwSystemError("could not move \"" + source + "\" to", destination);
    }
}

FileAttributes FileManager::attributesOfItem(std::string_view path) const {
    const std::string target(path);
    struct stat status {};
    if (::stat(target.c_str(), &status) != 0) {
        throwSystemError("could not read the attributes of", target);
    }
    return {static_cast<std::uint64_t>(status.st_size), toDate(status.st_mtim),
            static_cast<std::uint16_t>(status.st_mode & 07777)};
}

void FileManager::setModificationDate(std::string_view path, Date date) const {
    const std::string target(path);
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::nanoseconds>(date.time_since_epoch());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    const struct timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(seconds.count()), static_cast<long>((sinceEpoch - seconds).count())}};
    if (::utimensat(AT_FDCWD, target.c_str(), times, 0) != 0) {
        throwSystemError("could not set the modification date of", target);
    }
}

std::vector<std::string> FileManager::contentsOfDirectory(std::string_view path) const {
    const std::string target(path);
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(target.c_str()), ::closedir);
    if (!folder) {
        throwSystemError("could not list the folder", target);
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
        errno = 0;
    }
    if (errno != 0) {
        throwSystemError("could not list the folder", target);
    }
    return names;
}

std::string FileManager::contentsOfFile(std::string_view path) const {
    const std::string target(path);
    const Descriptor file(::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        throwSystemError("could not open for reading", target);
    }
    std::string contents;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            throwSystemError("could not read", target);
        }
        if (count == 0) {
            return contents;
        }
        contents.append(buffer, static_cast<std::size_t>(count));
    }
}

FileHandle FileManager::openForWriting(const URL& url) const {
    return FileHandle::forWritingTo(url);
}

} // namespace vorla::foundation
