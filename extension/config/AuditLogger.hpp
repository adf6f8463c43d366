#pragma once

#include "extension/config/AccessLogger.hpp"
#include "extension/config/Muting.hpp"

#include <string>

namespace vorla::extension {

// The audit log's section: process executions, in the configured line format. Its muting
// applies to the whole Endpoint Security client.
class AuditLogger : public AccessLogger {
public:
    AuditLogger() = default;
    AuditLogger(bool enabled, std::optional<foundation::URL> logFilePath,
                Formatter::type outputFormat, std::string customLogFormat, Muting muting,
                std::uint8_t maxLogFileCount, std::uint64_t maxLogFileSize);

    // The template of a "custom" line, with ${variable} blocks.
    std::string customLogFormat;
    Muting muting;

    void decode(const YamlKeyedContainer& container) override;
    void encode(YamlNode& mapping) const override;
    void validate(const foundation::URL& defaultLogPath,
                  const std::vector<Formatter::type>& allowedFormats,
                  const Defaults& defaults) override;

    friend bool operator==(const AuditLogger&, const AuditLogger&) = default;
};

} // namespace vorla::extension
