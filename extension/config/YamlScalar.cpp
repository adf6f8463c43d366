#include "extension/config/YamlScalar.hpp"

#include <array>
#include <string_view>

namespace vorla::extension {

namespace {

std::optional<unsigned> digitValue(char character, unsigned base) {
    unsigned value = base;
    if (character >= '0' && character <= '9') {
        value = static_cast<unsigned>(character - '0');
    } else if (character >= 'a' && character <= 'f') {
        value = static_cast<unsigned>(character - 'a') + 10;
    } else if (character >= 'A' && character <= 'F') {
        value = static_cast<unsigned>(character - 'A') + 10;
    }
    if (value >= base) {
        return std::nullopt;
    }
    return value;
}

// Adds `digit` to the number in `base`, remembering an overflow instead of wrapping around.
void accumulate(YamlInteger& result, unsigned base, unsigned digit) {
    if (__builtin_mul_overflow(result.magnitude, base, &result.magnitude) ||
        __builtin_add_overflow(result.magnitude, digit, &result.magnitude)) {
        result.overflow = true;
    }
}

// Digits of `base` with underscores anywhere among them; at least one character.
std::optional<YamlInteger> digits(std::string_view body, unsigned base, YamlInteger result) {
    if (body.empty()) {
        return std::nullopt;
    }
    for (const char character : body) {
        if (character == '_') {
            continue;
        }
        const auto digit = digitValue(character, base);
        if (!digit) {
            return std::nullopt;
        }
        accumulate(result, base, *digit);
    }
    return result;
}

// [1-9][0-9_]* followed by one or more ":" and a base-60 digit ([0-5]?[0-9]).
std::optional<YamlInteger> sexagesimal(std::string_view text, YamlInteger result) {
    const auto colon = text.find(':');
    auto head = digits(text.substr(0, colon), 10, result);
    if (!head) {
        return std::nullopt;
    }
    result = *head;
    std::string_view rest = text.substr(colon);
    while (!rest.empty()) {
        rest.remove_prefix(1); // the ":"
        const auto next = rest.find(':');
        const std::string_view part = rest.substr(0, next);
        const bool twoDigits = part.size() == 2 && part[0] >= '0' && part[0] <= '5';
        if (!(part.size() == 1 || twoDigits) || !digitValue(part.back(), 10)) {
            return std::nullopt;
        }
        const unsigned value = twoDigits
                                   ? static_cast<unsigned>((part[0] - '0') * 10 + (part[1] - '0'))
                                   : static_cast<unsigned>(part[0] - '0');
        accumulate(result, 60, value);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next);
    }
    return result;
}

} // namespace

bool isYamlNull(std::string_view text) {
    return text.empty() || text == "~" || text == "null" || text == "Null" || text == "NULL";
}

std::optional<bool> yamlBool(std::string_view text) {
    static constexpr std::array<std::string_view, 11> trueWords = {
        "y", "Y", "yes", "Yes", "YES", "true", "True", "TRUE", "on", "On", "ON"};
    static constexpr std::array<std::string_view, 11> falseWords = {
        "n", "N", "no", "No", "NO", "false", "False", "FALSE", "off", "Off", "OFF"};
    for (const auto word : trueWords) {
        if (word == text) {
            return true;
        }
    }
    for (const auto word : falseWords) {
        if (word == text) {
            return false;
        }
    }
    return std::nullopt;
}

std::optional<YamlInteger> yamlInteger(std::string_view text) {
    YamlInteger result;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        result.negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    if (text.starts_with("0b")) {
        return digits(text.substr(2), 2, result);
    }
    if (text.starts_with("0x")) {
        return digits(text.substr(2), 16, result);
    }
    if (text == "0") {
        return result;
    }
    if (text.front() == '0') {
        return digits(text.substr(1), 8, result);
    }
    if (text.front() < '1' || text.front() > '9') {
        return std::nullopt;
    }
    if (text.find(':') != std::string_view::npos) {
        return sexagesimal(text, result);
    }
    return digits(text, 10, result);
}

bool needsQuotes(std::string_view text) {
    if (isYamlNull(text) || yamlBool(text) || text == "<<" || text == "=") {
        return true;
    }
    // Numbers of every kind, timestamps and the special floats (.inf, .nan) all begin so.
    return std::string_view("0123456789+-.").find(text.front()) != std::string_view::npos;
}

} // namespace vorla::extension
