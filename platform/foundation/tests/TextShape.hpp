#pragma once

#include <cstddef>
#include <string_view>

namespace vorla::testing {

// Whether the text has the shape: in the shape '%' is a lower-case hexadecimal digit, '#' a
// decimal digit, and any other character stands for itself.
inline bool matchesShape(std::string_view text, std::string_view shape) {
    if (text.size() != shape.size()) {
        return false;
    }
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char character = text[index];
        const bool digit = character >= '0' && character <= '9';
        const bool hex = digit || (character >= 'a' && character <= 'f');
        const bool matches = shape[index] == '%'   ? hex
                             : shape[index] == '#' ? digit
                                                   : character == shape[index];
        if (!matches) {
            return false;
        }
    }
    return true;
}

} // namespace vorla::testing
