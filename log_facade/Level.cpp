#include "log_facade/Level.hpp"

#include "log_facade/DecodingError.hpp"

#include <nlohmann/json.hpp>

namespace vorla::logging {

namespace {

constexpr std::array<std::string_view, allCases.size()> rawValues{
    "trace", "debug", "info", "notice", "warning", "error", "critical"};

} // namespace

std::string_view rawValue(Level level) {
    return rawValues.at(static_cast<std::size_t>(level));
}

std::optional<Level> fromRawValue(std::string_view raw) {
    for (Level level : allCases) {
        if (rawValue(level) == raw) {
            return level;
        }
    }
    return std::nullopt;
}

void to_json(nlohmann::json& json, Level level) {
    json = rawValue(level);
}

void from_json(const nlohmann::json& json, Level& level) {
    const std::string* text = json.get_ptr<const std::string*>();
    if (text == nullptr) {
        throw DecodingError(DecodingError::Kind::typeMismatch,
                            "Expected to decode String but found " + std::string(json.type_name()));
    }
    std::optional<Level> decoded = fromRawValue(*text);
    if (!decoded) {
        throw DecodingError(DecodingError::Kind::dataCorrupted,
                            "Cannot initialize Level from invalid String value " + json.dump());
    }
    level = *decoded;
}

} // namespace vorla::logging
