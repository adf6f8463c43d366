#pragma once

#include "platform/foundation/FileManager.hpp"
#include "platform/system_extensions/ExtensionProcess.hpp"
#include "platform/system_extensions/SystemExtensions.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorla::system_extensions {

// One extension the service knows, with the process that runs it while it is enabled.
struct RegistryRecord {
    Properties properties;
    std::optional<ProcessIdentity> process;
};

// The service's list of extensions: a JSON array in one file, in the order the properties
// answer lists them. Its folder is made 0755 whatever the umask and used only when it, and
// every folder above it, passes the trust rule; the file too must be a regular file of a
// trusted owner that group and others cannot write. A link there is never followed and a FIFO
// never waited for.
class Registry {
public:
    explicit Registry(std::string path, std::shared_ptr<const foundation::FileManager> fileManager =
                                            foundation::FileManager::defaultManager());

    const std::string& path() const { return path_; }
    // The file's name in its folder.
    const std::string& name() const { return name_; }
    // The registry's folder, made when missing.
    foundation::Folder openFolder() const;

    // A missing file (or folder) is an empty list. A trusted file that holds no registry is
    // reported on standard error and taken as empty, so one bad write never stops the service.
    // Throws std::runtime_error naming the file and the reason when it may not be used.
    std::vector<RegistryRecord> load() const;

    // Replaces the file atomically and durably: readers see the old or the new list, never a
    // part of it, and the new one is on storage, its folder synchronised, before this returns.
    // Throws std::runtime_error naming the file and the cause when it cannot be written.
    void save(const std::vector<RegistryRecord>& records) const;

private:
    std::string path_;
    std::string folderPath_;
    std::string name_;
    std::shared_ptr<const foundation::FileManager> fileManager_;
};

} // namespace vorla::system_extensions
