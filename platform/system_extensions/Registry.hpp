#pragma once

#include "platform/system_extensions/SystemExtensions.hpp"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vorla::system_extensions {

// One extension the service knows, with the process that runs it while it is enabled.
struct RegistryRecord {
    Properties properties;
    std::optional<pid_t> pid;
};

// The service's list of extensions: a JSON array in one file, in the order the properties
// answer lists them.
class Registry {
public:
    explicit Registry(std::string path);

    const std::string& path() const { return path_; }

    // A missing file is an empty list. A file that cannot be read or is not a registry is
    // reported on standard error and taken as empty, so one bad file never stops the service.
    std::vector<RegistryRecord> load() const;

    // Replaces the file atomically: readers see the old or the new list, never a part of it.
    // Throws std::runtime_error naming the file and the cause when it cannot be written.
    void save(const std::vector<RegistryRecord>& records) const;

private:
    std::string path_;
};

} // namespace vorla::system_extensions
