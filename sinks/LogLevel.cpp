#include "sinks/LogLevel.hpp"

#include <array>

namespace vorla {

namespace {

struct LevelTraits {
    std::string_view description;
    std::string_view emoji;
    LogColor color;
};

constexpr std::array<LevelTraits, 8> traits{{
    {"TRACE", "\U0001F7E4", LogColor::darkGray},
    {"VERBOSE", "\U0001F7E3", LogColor::lightMagenta},
    {"DEBUG", "\U0001F535", LogColor::lightBlue},
    {"INFO", "\U0001F7E2", LogColor::lightGreen},
    {"NOTICE", "\U0001F7E0", LogColor::yellow},
    {"WARNING", "\U0001F7E1", LogColor::lightYellow},
    {"ERROR", "\U0001F534", LogColor::lightRed},
    {"CRITICAL", "\U0001F4A5", LogColor::red},
}};

const LevelTraits& traitsOf(LogLevel level) {
    return traits.at(rawValue(level) - rawValue(LogLevel::trace));
}

} // namespace

std::string_view description(LogLevel level) {
    return traitsOf(level).description;
}

std::string_view emoji(LogLevel level) {
    return traitsOf(level).emoji;
}

LogColor color(LogLevel level) {
    return traitsOf(level).color;
}

} // namespace vorla
