#pragma once

#include "platform/foundation/Date.hpp"
#include "platform/foundation/FileHandle.hpp"
#include "platform/foundation/URL.hpp"

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::foundation {

// The attributes of the item itself: a symbolic link is described, not followed.
struct FileAttributes {
    std::uint64_t size = 0;
    Date modificationDate;
    std::uint16_t posixPermissions = 0;
    bool isRegularFile = false;
};

// File-system operations. Every operation is virtual so that a caller can be given a manager
// that makes exactly one operation fail; failures throw FoundationError unless said otherwise.
class FileManager {
public:
    virtual ~FileManager() = default;

    // The manager that does the real work; shared, stateless.
    static std::shared_ptr<const FileManager> defaultManager();

    // Creates the folder and every missing parent, each with mode 0755 whatever the umask; an
    // existing folder is not an error and keeps its mode.
    virtual void createDirectory(const URL& url) const;
    // True when anything exists at the path (a dangling symbolic link counts).
    virtual bool fileExists(std::string_view path) const;
    // Writes a file with the contents, whole or not at all: the bytes go to a hidden temporary
    // file in the same folder, are synchronised to storage and only then take the name, so a
    // crash never leaves a torn file under it. The file gets exactly the permissions, whatever
    // the umask (0644 when none are given). An existing entry is replaced only when
    // `replaceExisting` is set; else the creation fails (code EEXIST).
    virtual void createFile(std::string_view path, std::string_view contents,
                            std::optional<std::uint16_t> posixPermissions,
                            bool replaceExisting = true) const;
    // Removes the item, a folder with everything inside it.
    virtual void removeItem(std::string_view path) const;
    // Removes one name that is not a folder; a folder put in its place is refused, never emptied.
    virtual void removeFile(std::string_view path) const;
    // Renames; fails (code EEXIST) when anything exists at the destination.
    virtual void moveItem(const URL& from, const URL& to) const;
    virtual FileAttributes attributesOfItem(std::string_view path) const;
    virtual void setModificationDate(std::string_view path, Date date) const;
    // The names in the folder, without "." and "..", in the system's order.
    virtual std::vector<std::string> contentsOfDirectory(std::string_view path) const;
    // The bytes of a regular file (a link to one is followed). Anything else is refused without
    // blocking, and so is a file larger than the limit.
    virtual std::string
    contentsOfFile(std::string_view path,
                   std::uint64_t sizeLimit = std::numeric_limits<std::uint64_t>::max()) const;
    virtual FileHandle openForWriting(const URL& url) const;
    // The handle's fsync and close, here so that a test can watch what reaches storage.
    virtual void synchronize(FileHandle& handle) const;
    virtual void close(FileHandle& handle) const;

    // The name a temporary file of createFile was meant to get, or none when `name` is not one.
    static std::optional<std::string> targetOfTemporaryName(std::string_view name);
};

} // namespace vorla::foundation
