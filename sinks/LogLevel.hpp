#pragma once

#include "sinks/LogColor.hpp"

#include <cstdint>
#include <optional>
#include <string_view>

namespace vorla {

// The severity of a message. Raw values start at 1 and follow the severity order; levels are
// only ever compared through their raw values (a message passes a sink when its raw value is at
// least the sink's threshold).
enum class LogLevel : std::uint8_t {
    trace = 1,
    verbose = 2,
    debug = 3,
    info = 4,
    notice = 5,
    warning = 6,
    error = 7,
    critical = 8,
};

constexpr std::uint8_t rawValue(LogLevel level) {
    return static_cast<std::uint8_t>(level);
}

// The level of a raw value 1 to 8; no level for any other byte.
constexpr std::optional<LogLevel> fromRawValue(std::uint8_t raw) {
    if (raw < rawValue(LogLevel::trace) || raw > rawValue(LogLevel::critical)) {
        return std::nullopt;
    }
    return static_cast<LogLevel>(raw);
}

// True when a message at `level` passes a sink whose threshold is `threshold`.
constexpr bool passes(LogLevel level, LogLevel threshold) {
    return rawValue(level) >= rawValue(threshold);
}

// "TRACE" ... "CRITICAL".
std::string_view description(LogLevel level);
// One coloured circle (or the collision symbol for critical), as UTF-8.
std::string_view emoji(LogLevel level);
LogColor color(LogLevel level);

} // namespace vorla
