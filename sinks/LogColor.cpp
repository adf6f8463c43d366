#include "sinks/LogColor.hpp"

namespace vorla {

namespace {

constexpr char escape = '\x1B';

int parameter(LogColor::Kind kind) {
    const int index = static_cast<int>(kind) - static_cast<int>(LogColor::Kind::black);
    // The first eight named colours are 30-37, the bright eight 90-97.
    return index < 8 ? 30 + index : 90 + (index - 8);
}

} // namespace

std::string LogColor::foregroundCode() const {
    if (kind_ == Kind::colorNumber) {
        return std::string(1, escape) + "[38;5;" + std::to_string(number_) + "m";
    }
    return std::string(1, escape) + "[" + std::to_string(parameter(kind_)) + "m";
}

std::string LogColor::resetCode() const {
    return std::string(1, escape) + "[0m";
}

std::string colorize(std::string_view text, LogColor color) {
    return color.foregroundCode() + std::string(text) + color.resetCode();
}

} // namespace vorla
