#include "extension/config/AuditLogger.hpp"

#include "extension/SharedOSLogger.hpp"
#include "extension/config/Defaults.hpp"

#include <algorithm>

namespace vorla::extension {

AuditLogger::AuditLogger(bool enabled_, std::optional<foundation::URL> logFilePath_,
                         Formatter::type outputFormat_, std::string customLogFormat_,
                         Muting muting_, std::uint8_t maxLogFileCount_,
                         std::uint64_t maxLogFileSize_)
    : AccessLogger(enabled_, std::move(logFilePath_), outputFormat_, maxLogFileCount_,
                   maxLogFileSize_),
      customLogFormat(std::move(customLogFormat_)), muting(std::move(muting_)) {}

void AuditLogger::decode(const YamlKeyedContainer& container) {
    customLogFormat = container.decodeString("customLogFormat");
    muting.decode(container.nestedContainer("muting"));
    AccessLogger::decode(container);
}

void AuditLogger::encode(YamlNode& mapping) const {
    mapping.add("customLogFormat", YamlNode::string(customLogFormat));
    auto mutingMapping = YamlNode::mapping();
    muting.encode(*mutingMapping);
    mapping.add("muting", std::move(mutingMapping));
    AccessLogger::encode(mapping);
}

void AuditLogger::validate(const foundation::URL& defaultLogPath,
                           const std::vector<Formatter::type>& allowedFormats,
                           const Defaults& defaults) {
    const auto& logger = *sharedOSLogger();
    // Any "$" will do: a template without a single variable would log the same text for every
    // execution.
    if (customLogFormat.find('$') == std::string::npos) {
        customLogFormat = defaults.customLogFormat;
        logger.log(LogLevel::warning,
                   "[validation]: there must be at least 1 ${variable} block defined in "
                   "customLogFormat. Falling back to default (${timestamp} ${username} ${group} "
                   "${command} ${args})");
    }
    if (std::find(allowedFormats.begin(), allowedFormats.end(), outputFormat) ==
        allowedFormats.end()) {
        outputFormat = defaults.outputFormat;
        logger.log(LogLevel::warning, "[validation]: allowedFormatters must be json, auditd or "
                                      "custom. Falling back to default (json)");
    }
    if (muting.inverted && muting.targets.empty()) {
        muting.inverted = false;
    }
    AccessLogger::validate(defaultLogPath, allowedFormats, defaults);
}

} // namespace vorla::extension
