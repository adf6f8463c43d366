#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace vorla::logging {

// The front end's seven severities, lowest first. Comparisons follow this order, so a level
// check is one byte compare.
enum class Level : std::uint8_t {
    trace,
    debug,
    info,
    notice,
    warning,
    error,
    critical,
};

inline constexpr std::array<Level, 7> allCases{Level::trace,   Level::debug,   Level::info,
                                               Level::notice,  Level::warning, Level::error,
                                               Level::critical};

// The text value, which is also the printed form: "trace" ... "critical".
std::string_view rawValue(Level level);

// The level whose text value is exactly `raw` (case-sensitive); no level for any other text.
std::optional<Level> fromRawValue(std::string_view raw);

// Levels are stored as their text value. Decoding any other string, or a value that is not a
// string, throws DecodingError.
void to_json(nlohmann::json& json, Level level);
void from_json(const nlohmann::json& json, Level& level);

} // namespace vorla::logging
