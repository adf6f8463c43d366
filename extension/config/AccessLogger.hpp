#pragma once

#include "extension/Formatter.hpp"
#include "extension/config/YamlDecoding.hpp"
#include "extension/config/YamlNode.hpp"
#include "platform/foundation/URL.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace vorla::extension {

class Defaults;

// The access log's section: every event but process executions. Its keys are shared with the
// audit section.
class AccessLogger {
public:
    AccessLogger() = default;
    AccessLogger(bool enabled, std::optional<foundation::URL> logFilePath,
                 Formatter::type outputFormat, std::uint8_t maxLogFileCount,
                 std::uint64_t maxLogFileSize);
    AccessLogger(const AccessLogger&) = default;
    AccessLogger& operator=(const AccessLogger&) = default;
    virtual ~AccessLogger() = default;

    // Only the subscription depends on it; the log file is opened either way.
    bool enabled = true;
    // None when the configuration named no path at all (an empty one); validation puts the
    // default in its place, because a logger cannot write to a folder.
    std::optional<foundation::URL> logFilePath;
    Formatter::type outputFormat = Formatter::type::json;
    std::uint8_t maxLogFileCount = 0;
    std::uint64_t maxLogFileSize = 0;

    virtual void decode(const YamlKeyedContainer& container);
    virtual void encode(YamlNode& mapping) const;
    // Replaces each bad value by its default, with one warning in the system log each.
    virtual void validate(const foundation::URL& defaultLogPath,
                          const std::vector<Formatter::type>& allowedFormats,
                          const Defaults& defaults);

    friend bool operator==(const AccessLogger&, const AccessLogger&) = default;
};

// A configured log path as a file URL; an empty path, or one holding a zero byte, names no
// file at all.
std::optional<foundation::URL> logFileURL(std::string_view path);

} // namespace vorla::extension
