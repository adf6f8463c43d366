#pragma once

#include "platform/foundation/Date.hpp"
#include "platform/foundation/FileAttributes.hpp"
#include "platform/foundation/FileHandle.hpp"
#include "platform/foundation/Folder.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/NewFile.hpp"
#include "platform/foundation/URL.hpp"

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::foundation {

// One name of a folder listing, with its kind when the listing tells it (most file systems
// do, which spares a look at each entry).
struct DirectoryEntry {
    std::string name;
    std::optional<ObjectKind> kind;
};

// File-system operations. Work on a log and its neighbours is relative to an open, verified
// Folder; names are plain names inside it, never paths. Every operation is virtual so that a
// caller can be given a manager that makes exactly one operation fail; failures throw
// FoundationError unless said otherwise.
class FileManager {
public:
    virtual ~FileManager() = default;

    // The manager that does the real work; shared, stateless.
    static std::shared_ptr<const FileManager> defaultManager();

    // Folder::open of the URL's path.
    virtual Folder openFolder(const URL& url, Folder::Options options) const;
    // Which entries of a listing to keep, by their name and kind (when the listing tells it).
    using EntryFilter = std::function<bool(std::string_view name, std::optional<ObjectKind> kind)>;
    // The names in the folder, without "." and "..", in the system's order; with a filter,
    // only those it keeps, so that a folder of many other entries costs no memory for them.
    virtual std::vector<DirectoryEntry> contentsOfDirectory(const Folder& folder,
                                                            const EntryFilter& keep = {}) const;
    virtual FileAttributes attributesOfItem(const Folder& folder, std::string_view name) const;
    // Writes a file with the contents, whole or not at all: the bytes go to a new file under a
    // hidden temporary name, are synchronised to storage and only then take the name, and the
    // folder is synchronised, so a crash never leaves a torn file under it. The file gets
    // exactly the permissions, whatever the umask (0644 when none are given). An existing entry
    // is replaced only when `replaceExisting` is set; else the creation fails (code EEXIST).
    virtual void createFile(const Folder& folder, std::string_view name, std::string_view contents,
                            std::optional<std::uint16_t> posixPermissions,
                            bool replaceExisting = true) const;
    // The first step of createFile, for a caller that writes the contents itself.
    virtual NewFile createTemporaryFile(const Folder& folder, std::string_view name,
                                        std::uint16_t posixPermissions) const;
    // The last step: the finished file takes `name` (as createFile, `replaceExisting`). The
    // name lasts a power cut only once the folder is synchronised.
    virtual void giveName(const Folder& folder, NewFile& file, std::string_view name,
                          bool replaceExisting) const;
    // fsync of the folder: the names made, changed and removed in it reach storage.
    virtual void synchronize(const Folder& folder) const;
    // Removes one name that is not a folder; a folder put in its place is refused, never emptied.
    virtual void removeFile(const Folder& folder, std::string_view name) const;
    // Renames within the folder; fails (code EEXIST) when anything exists at the destination.
    virtual void moveItem(const Folder& folder, std::string_view from, std::string_view to) const;
    // Swaps what the two names hold in one step, whatever kinds they are; fails (ENOENT) when
    // either is missing, and (EINVAL) on a file system that cannot exchange names.
    virtual void exchange(const Folder& folder, std::string_view first,
                          std::string_view second) const;
    virtual FileHandle openForWriting(const Folder& folder, std::string_view name) const;
    virtual FileHandle openForReading(const Folder& folder, std::string_view name) const;
    // The handle's writes (FileHandle::append and write), cut, fsync and close, here so that a test
    // can watch what reaches storage and make any of them fail.
    virtual void append(FileHandle& handle, std::string_view bytes) const;
    virtual void write(FileHandle& handle, std::string_view bytes) const;
    // Cuts the file back to the length (FileHandle::truncate).
    virtual void truncate(FileHandle& handle, std::uint64_t length) const;
    virtual void synchronize(FileHandle& handle) const;
    virtual void close(FileHandle& handle) const;

    // True when anything exists at the path (a dangling symbolic link counts).
    virtual bool fileExists(std::string_view path) const;
    // Removes the item at the path, a folder with everything inside it.
    virtual void removeItem(std::string_view path) const;
    // Opens the regular file at the path for writing (FileHandle::forWritingTo).
    virtual FileHandle openForWriting(const URL& url) const;
    // The bytes of the regular file at the path (a link to one is followed). Anything else is
    // refused without blocking, and so is a file larger than the limit.
    virtual std::string
    contentsOfFile(std::string_view path,
                   std::uint64_t sizeLimit = std::numeric_limits<std::uint64_t>::max()) const;

    // The name a temporary file of createFile was meant to get, or none when `name` is not one.
    static std::optional<std::string> targetOfTemporaryName(std::string_view name);
};

// Removes the temporary files of createFile that a run stopped before naming them left in the
// folder: those whose final name `isOurs` accepts, and only regular files of a trusted owner,
// never another user's. Calls `removed` with each name removed and `failed` with the error of
// each removal that failed; a folder that cannot be listed throws.
void removeUnfinishedFiles(const FileManager& fileManager, const Folder& folder,
                           const std::function<bool(std::string_view finalName)>& isOurs,
                           const std::function<void(const std::string& name)>& removed,
                           const std::function<void(const FoundationError& error)>& failed);

} // namespace vorla::foundation
