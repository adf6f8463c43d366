#pragma once

#include "platform/foundation/Date.hpp"
#include "platform/foundation/FileHandle.hpp"
#include "platform/foundation/URL.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::foundation {

struct FileAttributes {
    std::uint64_t size = 0;
    Date modificationDate;
    std::uint16_t posixPermissions = 0;
};

// File-system operations. Every operation is virtual so that a caller can be given a manager
// that makes exactly one operation fail; failures throw FoundationError unless said otherwise.
class FileManager {
public:
    virtual ~FileManager() = default;

    // The manager that does the real work; shared, stateless.
    static std::shared_ptr<const FileManager> defaultManager();

    // Creates the folder and every missing parent; an existing folder is not an error.
    virtual void createDirectory(const URL& url) const;
    // True when anything exists at the path (a dangling symbolic link counts).
    virtual bool fileExists(std::string_view path) const;
    // Writes a file with the contents and synchronises it to storage. With permissions, the file
    // gets exactly these bits; otherwise the defaults (0666 less the umask). An existing file is
    // replaced only when `replaceExisting` is set; else the creation fails (code EEXIST).
    virtual void createFile(std::string_view path, std::string_view contents,
                            std::optional<std::uint16_t> posixPermissions,
                            bool replaceExisting = true) const;
    virtual void removeItem(std::string_view path) const;
    // Renames; fails (code EEXIST) when anything exists at the destination.
    virtual void moveItem(const URL& from, const URL& to) const;
    virtual FileAttributes attributesOfItem(std::string_view path) const;
    virtual void setModificationDate(std::string_view path, Date date) const;
    // The names in the folder, without "." and "..", in the system's order.
    virtual std::vector<std::string> contentsOfDirectory(std::string_view path) const;
    virtual std::string contentsOfFile(std::string_view path) const;
    virtual FileHandle openForWriting(const URL& url) const;
};

} // namespace vorla::foundation
