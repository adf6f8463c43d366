#include "extension/config/ProfileConfig.hpp"

#include "extension/config/Defaults.hpp"

#include <cmath>
#include <limits>

namespace vorla::extension {

namespace {

using preferences::PropertyListDictionary;
using Found = std::optional<preferences::PropertyListValue>;

// The value as `Value`, or none when it is absent or of another type.
template <typename Value> std::optional<Value> as(const Found& found) {
    if (const auto* value = found ? std::get_if<Value>(&found->value) : nullptr) {
        return *value;
    }
    return std::nullopt;
}

// A number as the platform bridges it to an integer: an integer as it is, a boolean as 0 or 1,
// a real only when it holds an integral value an integer can take. Text is never a number.
std::optional<std::int64_t> asInteger(const Found& found) {
    if (const auto integer = as<std::int64_t>(found)) {
        return integer;
    }
    if (const auto flag = as<bool>(found)) {
        return *flag ? 1 : 0;
    }
    const auto real = as<double>(found);
    // 2^63 is the first real beyond the integers; NaN fails every comparison.
    if (real && *real >= -0x1p63 && *real < 0x1p63 && *real == std::trunc(*real)) {
        return static_cast<std::int64_t>(*real);
    }
    return std::nullopt;
}

// Booleans also accept the numbers 0 and 1, as the platform's value bridging does.
std::optional<bool> asBool(const Found& found) {
    const auto integer = asInteger(found);
    return integer && (*integer == 0 || *integer == 1) ? std::optional<bool>(*integer == 1)
                                                       : std::nullopt;
}

// An integer within 0 and `maximum`. Anything outside is treated as absent, so that a count of
// 256 or a negative size never wraps around into some other valid value.
std::optional<std::uint64_t> asUnsigned(const Found& found, std::uint64_t maximum) {
    const auto integer = asInteger(found);
    if (!integer || *integer < 0 || static_cast<std::uint64_t>(*integer) > maximum) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(*integer);
}

// Only the exact raw strings name a format.
std::optional<Formatter::type> asFormat(const Found& found) {
    const auto raw = as<std::string>(found);
    return raw ? Formatter::fromString(*raw) : std::nullopt;
}

// Every element must be a dictionary of strings; otherwise the whole list counts as absent.
std::optional<std::vector<PropertyListDictionary>> asTargetList(const Found& found) {
    const auto list = as<preferences::PropertyListArray>(found);
    if (!list) {
        return std::nullopt;
    }
    std::vector<PropertyListDictionary> dictionaries;
    for (const auto& element : *list) {
        const auto* dictionary = std::get_if<PropertyListDictionary>(&element.value);
        if (!dictionary) {
            return std::nullopt;
        }
        for (const auto& entry : *dictionary) {
            if (!std::holds_alternative<std::string>(entry.second.value)) {
                return std::nullopt;
            }
        }
        dictionaries.push_back(*dictionary);
    }
    return dictionaries;
}

std::optional<foundation::URL> asPath(const Found& found) {
    return logFileURL(as<std::string>(found).value_or(""));
}

} // namespace

std::shared_ptr<Config> readProfileConfig(std::string_view domain) {
    constexpr auto countMaximum = std::numeric_limits<std::uint8_t>::max();
    constexpr auto sizeMaximum = std::numeric_limits<std::uint64_t>::max();
    // One reading of the profile serves every key.
    const auto profile =
        preferences::CFPreferencesCopyMultiple(domain).value_or(PropertyListDictionary());
    const auto value = [&profile](const std::string& key) -> Found {
        const auto found = profile.find(key);
        return found != profile.end() ? Found(found->second) : std::nullopt;
    };
    ProfileValues values;
    values.auditEnabled = asBool(value("AuditLoggerEnabled")).value_or(true);
    values.customLogFormat = as<std::string>(value("AuditLoggerCustomLogFormat")).value_or("");
    values.auditPath = asPath(value("AuditLoggerLogFilePath"));
    values.auditOutputFormat =
        asFormat(value("AuditLoggerOutputFormat")).value_or(Formatter::type::json);
    values.auditCount = static_cast<std::uint8_t>(
        asUnsigned(value("AuditLoggerMaxFileCount"), countMaximum).value_or(0));
    values.auditSize = asUnsigned(value("AuditLoggerMaxFileSize"), sizeMaximum).value_or(0);
    values.mutingInverted = asBool(value("AuditLoggerMutingInverted")).value_or(false);
    values.mutingTargets =
        mutePathsFromProfile(asTargetList(value("AuditLoggerMutingTargets"))
                                 .value_or(std::vector<PropertyListDictionary>()));
    values.accessEnabled = asBool(value("AccessLoggerEnabled")).value_or(true);
    values.accessPath = asPath(value("AccessLoggerLogFilePath"));
    values.accessCount = static_cast<std::uint8_t>(
        asUnsigned(value("AccessLoggerMaxFileCount"), countMaximum).value_or(0));
    values.accessSize = asUnsigned(value("AccessLoggerMaxFileSize"), sizeMaximum).value_or(0);
    values.compressArchives = asBool(value("CompressArchives")).value_or(false);
    return makeProfileConfig(std::move(values));
}

std::vector<MutePath> mutePathsFromProfile(const std::vector<PropertyListDictionary>& list) {
    std::vector<MutePath> targets;
    for (const PropertyListDictionary& entry : list) {
        const auto path = entry.find("Path");
        const auto type = entry.find("Type");
        if (path == entry.end() || type == entry.end()) {
            continue;
        }
        const auto* pathText = std::get_if<std::string>(&path->second.value);
        const auto* typeText = std::get_if<std::string>(&type->second.value);
        const auto muteType = typeText ? MutePath::fromString(*typeText) : std::nullopt;
        if (!pathText || !muteType) {
            continue;
        }
        targets.push_back({*pathText, *muteType});
    }
    return targets;
}

} // namespace vorla::extension
