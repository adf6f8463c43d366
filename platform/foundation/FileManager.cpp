#include "platform/foundation/FileManager.hpp"

#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/RegularFile.hpp"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorla::foundation {

namespace {

constexpr mode_t folderPermissions = 0755;
constexpr mode_t defaultFilePermissions = 0644;
// A temporary file is "." + its final name + this + six random characters: hidden, and never
// mistaken for the final name or an archive of it.
constexpr std::string_view temporaryMarker = ".tmp-";
constexpr std::string_view randomPart = "XXXXXX";

Date toDate(const struct timespec& time) {
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::seconds(time.tv_sec) +
                                                           std::chrono::nanoseconds(time.tv_nsec)));
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Makes one folder with exactly the folder permissions: the umask only narrows what mkdir
// gives, so the bits are set again on the new folder itself (never through a link).
void makeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), folderPermissions) != 0) {
        if (errno == EEXIST) {
            return;
        }
        throwSystemError("could not create the folder", path);
    }
    const Descriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() < 0 || ::fchmod(folder.get(), folderPermissions) != 0) {
        throwSystemError("could not set the permissions of", path);
    }
}

// The folder's entry for a new name survives a crash only once the folder itself is synced.
void synchronizeFolder(const std::string& folder) {
    const Descriptor descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (descriptor.get() >= 0) {
        ::fsync(descriptor.get());
    }
}

void writeAll(int descriptor, std::string_view contents, const std::string& path) {
    while (!contents.empty()) {
        const ssize_t written = ::write(descriptor, contents.data(), contents.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            throwSystemError("could not write to", path);
        }
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Gives the finished temporary file its name: replacing what is there, or failing (EEXIST)
// when anything is.
void takeName(const std::string& temporary, const std::string& target, bool replaceExisting) {
    if (replaceExisting) {
        if (::rename(temporary.c_str(), target.c_str()) != 0) {
            throwSystemError("could not create the file", target);
        }
        return;
    }
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return;
    }
    // A file system without RENAME_NOREPLACE: a hard link refuses an existing name as well.
    if ((errno != EINVAL && errno != ENOSYS) || ::link(temporary.c_str(), target.c_str()) != 0) {
        throwSystemError("could not create the file", target);
    }
    ::unlink(temporary.c_str());
}

} // namespace

std::shared_ptr<const FileManager> FileManager::defaultManager() {
    static const auto manager = std::make_shared<const FileManager>();
    return manager;
}

std::optional<std::string> FileManager::targetOfTemporaryName(std::string_view name) {
    const std::size_t decoration = 1 + temporaryMarker.size() + randomPart.size();
    if (name.size() <= decoration || name.front() != '.' ||
        name.substr(name.size() - randomPart.size() - temporaryMarker.size(),
                    temporaryMarker.size()) != temporaryMarker) {
        return std::nullopt;
    }
    return std::string(name.substr(1, name.size() - decoration));
}

void FileManager::createDirectory(const URL& url) const {
    const std::string target = systemPath(url.toPath(), "could not create the folder");
    std::string partial;
    for (std::size_t start = 1; start <= target.size();) {
        const auto slash = std::min(target.find('/', start), target.size());
        partial = target.substr(0, slash);
        makeFolder(partial);
        start = slash + 1;
    }
    struct stat status {};
    if (::stat(target.c_str(), &status) != 0) {
        throwSystemError("could not create the folder", target);
    }
    if (!S_ISDIR(status.st_mode)) {
        errno = ENOTDIR;
        throwSystemError("could not create the folder", target);
    }
}

bool FileManager::fileExists(std::string_view path) const {
    struct stat status {};
    return path.find('\0') == std::string_view::npos &&
           ::lstat(std::string(path).c_str(), &status) == 0;
}

void FileManager::createFile(std::string_view path, std::string_view contents,
                             std::optional<std::uint16_t> posixPermissions,
                             bool replaceExisting) const {
    const std::string target = systemPath(path, "could not create the file");
    std::string temporary = folderOf(target) + "/." + nameOf(target) +
                            std::string(temporaryMarker) + std::string(randomPart);
    // mkostemp creates the name exclusively: nothing planted there can be written through.
    const Descriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0) {
        throwSystemError("could not create the file", target);
    }
    try {
        // Exactly the bits asked for: the umask must not widen or narrow them.
        if (::fchmod(file.get(), posixPermissions.value_or(defaultFilePermissions)) != 0) {
            throwSystemError("could not set the permissions of", target);
        }
        writeAll(file.get(), contents, target);
        // An empty file has no bytes to wait for: the folder's fsync below carries it whole.
        if (!contents.empty() && ::fsync(file.get()) != 0) {
            throwSystemError("could not synchronize", target);
        }
        takeName(temporary, target, replaceExisting);
    } catch (const FoundationError&) {
        ::unlink(temporary.c_str());
        throw;
    }
    synchronizeFolder(folderOf(target));
}

void FileManager::removeItem(std::string_view path) const {
    const std::string target = systemPath(path, "could not remove");
    std::error_code error;
    if (std::filesystem::remove_all(target, error) == 0 || error) {
        errno = error ? error.value() : ENOENT;
        throwSystemError("could not remove", target);
    }
}

void FileManager::removeFile(std::string_view path) const {
    const std::string target = systemPath(path, "could not remove");
    if (::unlink(target.c_str()) != 0) {
        throwSystemError("could not remove", target);
    }
}

void FileManager::moveItem(const URL& from, const URL& to) const {
    const std::string source = systemPath(from.toPath(), "could not move");
    const std::string destination = systemPath(to.toPath(), "could not move");
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
    const std::string target = systemPath(path, "could not read the attributes of");
    struct stat status {};
    if (::lstat(target.c_str(), &status) != 0) {
        throwSystemError("could not read the attributes of", target);
    }
    return {static_cast<std::uint64_t>(status.st_size), toDate(status.st_mtim),
            static_cast<std::uint16_t>(status.st_mode & 07777), S_ISREG(status.st_mode)};
}

void FileManager::setModificationDate(std::string_view path, Date date) const {
    const std::string target = systemPath(path, "could not set the modification date of");
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::nanoseconds>(date.time_since_epoch());
    const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    const struct timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(seconds.count()), static_cast<long>((sinceEpoch - seconds).count())}};
    if (::utimensat(AT_FDCWD, target.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        throwSystemError("could not set the modification date of", target);
    }
}

std::vector<std::string> FileManager::contentsOfDirectory(std::string_view path) const {
    const std::string target = systemPath(path, "could not list the folder");
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

std::string FileManager::contentsOfFile(std::string_view path, std::uint64_t sizeLimit) const {
    constexpr const char* operation = "could not open for reading";
    const std::string target = systemPath(path, operation);
    const Descriptor file(
        openRegularFile(target, O_RDONLY, 0, LastLink::follow, operation).descriptor);
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
        // Checked as the bytes come: a file that keeps growing is not read without end.
        if (contents.size() > sizeLimit) {
            throw FoundationError("could not read \"" + target + "\": larger than " +
                                      std::to_string(sizeLimit) + " bytes",
                                  EFBIG);
        }
    }
}

FileHandle FileManager::openForWriting(const URL& url) const {
    return FileHandle::forWritingTo(url);
}

void FileManager::synchronize(FileHandle& handle) const {
    handle.synchronize();
}

void FileManager::close(FileHandle& handle) const {
    handle.close();
}

} // namespace vorla::foundation
