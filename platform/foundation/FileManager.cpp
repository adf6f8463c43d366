#include "platform/foundation/FileManager.hpp"

#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/FreeName.hpp"
#include "platform/foundation/Trust.hpp"

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

constexpr std::uint16_t defaultFilePermissions = 0644;
// A temporary file is "." + its final name + this + six random characters: hidden, and never
// mistaken for the final name or an archive of it.
constexpr std::string_view temporaryMarker = ".tmp-";
constexpr std::size_t randomLength = 6;
// Names are random, so a taken one is a rare accident; many in a row mean something is wrong.
constexpr int temporaryNameAttempts = 100;

std::optional<ObjectKind> kindOfEntry(unsigned char type) {
    switch (type) {
    case DT_REG:
        return ObjectKind::regularFile;
    case DT_DIR:
        return ObjectKind::folder;
    case DT_LNK:
        return ObjectKind::symbolicLink;
    case DT_UNKNOWN:
        return std::nullopt;
    default:
        return ObjectKind::other;
    }
}

} // namespace

std::shared_ptr<const FileManager> FileManager::defaultManager() {
    static const auto manager = std::make_shared<const FileManager>();
    return manager;
}

std::optional<std::string> FileManager::targetOfTemporaryName(std::string_view name) {
    const std::size_t decoration = 1 + temporaryMarker.size() + randomLength;
    if (name.size() <= decoration || name.front() != '.' ||
        name.substr(name.size() - randomLength - temporaryMarker.size(), temporaryMarker.size()) !=
            temporaryMarker) {
        return std::nullopt;
    }
    return std::string(name.substr(1, name.size() - decoration));
}

Folder FileManager::openFolder(const URL& url, Folder::Options options) const {
    return Folder::open(url.toPath(), options);
}

std::vector<DirectoryEntry> FileManager::contentsOfDirectory(const Folder& folder,
                                                             const EntryFilter& keep) const {
    // The listing reads through a descriptor of its own, opened from the folder's.
    const int listed = ::openat(folder.descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::unique_ptr<DIR, int (*)(DIR*)> stream(listed < 0 ? nullptr : ::fdopendir(listed),
                                                     ::closedir);
    if (!stream) {
        if (listed >= 0) {
            ::close(listed);
        }
        throwSystemError("could not list the folder", folder.path());
    }
    std::vector<DirectoryEntry> entries;
    errno = 0;
    while (const dirent* entry = ::readdir(stream.get())) {
        const std::string_view name = entry->d_name;
        const auto kind = kindOfEntry(entry->d_type);
        if (name != "." && name != ".." && (!keep || keep(name, kind))) {
            entries.push_back({std::string(name), kind});
        }
        errno = 0;
    }
    if (errno != 0) {
        throwSystemError("could not list the folder", folder.path());
    }
    return entries;
}

FileAttributes FileManager::attributesOfItem(const Folder& folder, std::string_view name) const {
    constexpr const char* operation = "could not read the attributes of";
    struct stat status {};
    if (::fstatat(folder.descriptor(), systemPath(name, operation).c_str(), &status,
                  AT_SYMLINK_NOFOLLOW) != 0) {
        throwSystemError(operation, folder.pathOf(name));
    }
    return attributesOf(status);
}

void FileManager::createFile(const Folder& folder, std::string_view name, std::string_view contents,
                             std::optional<std::uint16_t> posixPermissions,
                             bool replaceExisting) const {
    NewFile file =
        createTemporaryFile(folder, name, posixPermissions.value_or(defaultFilePermissions));
    write(file.handle(), contents);
    // An empty file has no bytes to wait for: the folder's fsync carries it whole.
    if (!contents.empty()) {
        synchronize(file.handle());
    }
    close(file.handle());
    giveName(folder, file, name, replaceExisting);
    synchronize(folder);
}

NewFile FileManager::createTemporaryFile(const Folder& folder, std::string_view name,
                                         std::uint16_t posixPermissions) const {
    constexpr const char* operation = "could not create the file";
    const std::string target = systemPath(name, operation);
    for (int attempt = 0;; ++attempt) {
        std::string temporary =
            "." + target + std::string(temporaryMarker) + randomCharacters(randomLength);
        // Created exclusively: nothing planted under the name can be written through.
        Descriptor descriptor(::openat(folder.descriptor(), temporary.c_str(),
                                       O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (descriptor.get() < 0) {
            if (errno == EEXIST && attempt + 1 < temporaryNameAttempts) {
                continue;
            }
            throwSystemError(operation, folder.pathOf(target));
        }
        const int opened = descriptor.get();
        NewFile file(folder.descriptor(), temporary,
                     FileHandle({std::move(descriptor), FileAttributes{}}, folder.pathOf(target)));
        // Exactly the bits asked for: the umask must not widen or narrow them.
        if (::fchmod(opened, posixPermissions) != 0) {
            throwSystemError("could not set the permissions of", folder.pathOf(target));
        }
        return file;
    }
}

void FileManager::giveName(const Folder& folder, NewFile& file, std::string_view name,
                           bool replaceExisting) const {
    constexpr const char* operation = "could not create the file";
    const std::string target = systemPath(name, operation);
    const int at = folder.descriptor();
    const char* temporary = file.temporaryName().c_str();
    if (replaceExisting) {
        if (::renameat(at, temporary, at, target.c_str()) != 0) {
            throwSystemError(operation, folder.pathOf(target));
        }
    } else if (::renameat2(at, temporary, at, target.c_str(), RENAME_NOREPLACE) != 0) {
        // A file system without RENAME_NOREPLACE: a hard link refuses an existing name as well.
        if ((errno != EINVAL && errno != ENOSYS) ||
            ::linkat(at, temporary, at, target.c_str(), 0) != 0) {
            throwSystemError(operation, folder.pathOf(target));
        }
        ::unlinkat(at, temporary, 0);
    }
    file.named();
}

void FileManager::synchronize(const Folder& folder) const {
    if (::fsync(folder.descriptor()) != 0) {
        throwSystemError("could not synchronize", folder.path());
    }
}

void FileManager::removeFile(const Folder& folder, std::string_view name) const {
    constexpr const char* operation = "could not remove";
    if (::unlinkat(folder.descriptor(), systemPath(name, operation).c_str(), 0) != 0) {
        throwSystemError(operation, folder.pathOf(name));
    }
}

void FileManager::moveItem(const Folder& folder, std::string_view from, std::string_view to) const {
    constexpr const char* operation = "could not move";
    const std::string source = systemPath(from, operation);
    const std::string destination = systemPath(to, operation);
    const int at = folder.descriptor();
    const auto fail = [&] {
        throwSystemError(std::string(operation) + " \"" + folder.pathOf(source) + "\" to",
                         folder.pathOf(destination));
    };
    if (::renameat2(at, source.c_str(), at, destination.c_str(), RENAME_NOREPLACE) == 0) {
        return;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        fail();
    }
    // A file system without RENAME_NOREPLACE: a hard link refuses an existing name as well.
    if (::linkat(at, source.c_str(), at, destination.c_str(), 0) != 0 ||
        ::unlinkat(at, source.c_str(), 0) != 0) {
        fail();
    }
}

void FileManager::exchange(const Folder& folder, std::string_view first,
                           std::string_view second) const {
    constexpr const char* operation = "could not exchange";
    const std::string one = systemPath(first, operation);
    const std::string other = systemPath(second, operation);
    const int at = folder.descriptor();
    if (::renameat2(at, one.c_str(), at, other.c_str(), RENAME_EXCHANGE) != 0) {
        throwSystemError(std::string(operation) + " \"" + folder.pathOf(one) + "\" and",
                         folder.pathOf(other));
    }
}

FileHandle FileManager::openForWriting(const Folder& folder, std::string_view name) const {
    return FileHandle::forWritingTo(folder, name);
}

FileHandle FileManager::openForReading(const Folder& folder, std::string_view name) const {
    return FileHandle::forReadingFrom(folder, name);
}

void FileManager::append(FileHandle& handle, std::string_view bytes) const {
    handle.append(bytes);
}

void FileManager::write(FileHandle& handle, std::string_view bytes) const {
    handle.write(bytes);
}

void FileManager::truncate(FileHandle& handle, std::uint64_t length) const {
    handle.truncate(length);
}

void FileManager::synchronize(FileHandle& handle) const {
    handle.synchronize();
}

void FileManager::close(FileHandle& handle) const {
    handle.close();
}

bool FileManager::fileExists(std::string_view path) const {
    struct stat status {};
    return path.find('\0') == std::string_view::npos &&
           ::lstat(std::string(path).c_str(), &status) == 0;
}

void FileManager::removeItem(std::string_view path) const {
    const std::string target = systemPath(path, "could not remove");
    std::error_code error;
    if (std::filesystem::remove_all(target, error) == 0 || error) {
        errno = error ? error.value() : ENOENT;
        throwSystemError("could not remove", target);
    }
}

FileHandle FileManager::openForWriting(const URL& url) const {
    return FileHandle::forWritingTo(url);
}

std::string FileManager::contentsOfFile(std::string_view path, std::uint64_t sizeLimit) const {
    constexpr const char* operation = "could not open for reading";
    const std::string target = systemPath(path, operation);
    const OpenedFile file =
        openRegularFile(AT_FDCWD, target, O_RDONLY, 0, LastLink::follow, target, operation);
    return readToEnd(file.descriptor.get(), target, sizeLimit);
}

void removeUnfinishedFiles(const FileManager& fileManager, const Folder& folder,
                           const std::function<bool(std::string_view finalName)>& isOurs,
                           const std::function<void(const std::string& name)>& removed,
                           const std::function<void(const FoundationError& error)>& failed) {
    const auto unfinished = [&isOurs](std::string_view name, std::optional<ObjectKind>) {
        const auto target = FileManager::targetOfTemporaryName(name);
        return target && isOurs(*target);
    };
    for (const DirectoryEntry& entry : fileManager.contentsOfDirectory(folder, unfinished)) {
        try {
            const auto attributes = fileManager.attributesOfItem(folder, entry.name);
            if (attributes.isRegularFile() && isTrustedOwner(attributes.owner)) {
                fileManager.removeFile(folder, entry.name);
                removed(entry.name);
            }
        } catch (const FoundationError& error) {
            failed(error);
        }
    }
}

} // namespace vorla::foundation
