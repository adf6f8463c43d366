#include "extension/config/Defaults.hpp"

namespace vorla::extension {

Defaults::Defaults(const PathManager& pathManager)
    : auditLogPath(pathManager.auditLogURL()), accessLogPath(pathManager.accessLogURL()) {}

std::shared_ptr<Config> makeDefaultConfig(const Defaults& defaults) {
    auto config = std::make_shared<Config>();
    config->auditLogger = std::make_shared<AuditLogger>(
        true, defaults.auditLogPath, defaults.outputFormat, defaults.customLogFormat, Muting{},
        defaults.maxLogFileCount, defaults.maxLogFileSize);
    config->accessLogger =
        std::make_shared<AccessLogger>(true, defaults.accessLogPath, Formatter::type::json,
                                       defaults.maxLogFileCount, defaults.maxLogFileSize);
    config->compressArchives = defaults.compressArchives;
    return config;
}

std::shared_ptr<Config> makeProfileConfig(ProfileValues values) {
    auto config = std::make_shared<Config>();
    config->auditLogger = std::make_shared<AuditLogger>(
        values.auditEnabled, std::move(values.auditPath), values.auditOutputFormat,
        std::move(values.customLogFormat),
        Muting{values.mutingInverted, std::move(values.mutingTargets)}, values.auditCount,
        values.auditSize);
    config->accessLogger = std::make_shared<AccessLogger>(
        values.accessEnabled, std::move(values.accessPath), Formatter::type::json,
        values.accessCount, values.accessSize);
    config->compressArchives = values.compressArchives;
    return config;
}

} // namespace vorla::extension
