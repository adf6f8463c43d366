#include "extension/config/Config.hpp"

#include "extension/SharedOSLogger.hpp"
#include "extension/config/Defaults.hpp"
#include "extension/config/YamlEmitter.hpp"
#include "extension/config/YamlParser.hpp"

namespace vorla::extension {

ConfigRaw::ConfigRaw(const YamlKeyedContainer& container) {
    auditLogger->decode(container.nestedContainer("auditLogger"));
    accessLogger->decode(container.nestedContainer("accessLogger"));
    compressArchives = container.decodeBool("compressArchives");
}

void ConfigRaw::encode(YamlNode& mapping) const {
    auto audit = YamlNode::mapping();
    auditLogger->encode(*audit);
    mapping.add("auditLogger", std::move(audit));
    auto access = YamlNode::mapping();
    accessLogger->encode(*access);
    mapping.add("accessLogger", std::move(access));
    mapping.add("compressArchives", YamlNode::boolean(compressArchives));
}

Config::FileErr::FileErr(Kind kind, std::optional<foundation::URL> url, std::string err)
    : std::runtime_error(url ? "could not write config file " + url->description() : err),
      kind_(kind), url_(std::move(url)), err_(std::move(err)) {}

Config::FileErr Config::FileErr::saving(foundation::URL url) {
    return FileErr(Kind::saving, std::move(url), "");
}

Config::FileErr Config::FileErr::encoding(std::string err) {
    return FileErr(Kind::encoding, std::nullopt, std::move(err));
}

Config::~Config() {
    sharedOSLogger()->log(LogLevel::debug, "releasing config object");
}

std::shared_ptr<Config> Config::fromYaml(std::string_view text) {
    return std::make_shared<Config>(YamlKeyedContainer(parseYaml(text), ""));
}

std::string Config::toYaml() const {
    auto root = YamlNode::mapping();
    encode(*root);
    return emitYaml(*root);
}

void Config::validate(const Defaults& defaults) {
    accessLogger->validate(defaults.accessLogPath, defaults.allowedAccessLogFormats, defaults);
    auditLogger->validate(defaults.auditLogPath, defaults.allowedAuditLogFormats, defaults);
}

bool operator==(const Config& left, const Config& right) {
    return *left.auditLogger == *right.auditLogger && *left.accessLogger == *right.accessLogger &&
           left.compressArchives == right.compressArchives;
}

} // namespace vorla::extension
