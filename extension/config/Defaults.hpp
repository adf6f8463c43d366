#pragma once

#include "extension/Formatter.hpp"
#include "extension/PathManager.hpp"
#include "extension/config/Config.hpp"
#include "extension/config/Muting.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorla::extension {

// The built-in values: the configuration written when there is none, and what validation puts
// in place of a bad value.
class Defaults {
public:
    explicit Defaults(const PathManager& pathManager);

    Formatter::type outputFormat = Formatter::type::json;
    std::string customLogFormat = "${timestamp} ${username} ${group} ${command} ${args}";
    foundation::URL auditLogPath;
    foundation::URL accessLogPath;
    std::uint8_t maxLogFileCount = 5;
    std::uint64_t maxLogFileSize = 5242880;
    std::vector<Formatter::type> allowedAuditLogFormats = {
        Formatter::type::json, Formatter::type::custom, Formatter::type::auditd};
    std::vector<Formatter::type> allowedAccessLogFormats = {Formatter::type::json};
    bool compressArchives = false;
};

std::shared_ptr<Config> makeDefaultConfig(const Defaults& defaults);

// The thirteen values a managed profile provides, in the order the profile's keys are listed.
// The access section has no output format of its own: it is always json.
struct ProfileValues {
    bool auditEnabled = true;
    std::optional<foundation::URL> auditPath;
    Formatter::type auditOutputFormat = Formatter::type::json;
    std::string customLogFormat;
    bool mutingInverted = false;
    std::vector<MutePath> mutingTargets;
    std::uint8_t auditCount = 0;
    std::uint64_t auditSize = 0;
    bool accessEnabled = true;
    std::optional<foundation::URL> accessPath;
    std::uint8_t accessCount = 0;
    std::uint64_t accessSize = 0;
    bool compressArchives = false;
};

std::shared_ptr<Config> makeProfileConfig(ProfileValues values);

} // namespace vorla::extension
