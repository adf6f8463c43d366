#include "platform/endpoint_security/JSONParser.hpp"

#include "platform/endpoint_security/HexDigit.hpp"
#include "platform/foundation/UTF8.hpp"

#include <algorithm>
#include <charconv>

namespace vorla::endpoint_security {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Most characters of a string, told apart without a call; '"' and '\\' are looked for first.
bool isPlainASCII(char c) {
    return c >= 0x20 && c < 0x7F;
}

void appendUTF8(std::string& target, uint32_t codePoint) {
    const auto put = [&](uint32_t bits) { target.push_back(static_cast<char>(bits)); };
    if (codePoint < 0x80) {
        put(codePoint);
    } else if (codePoint < 0x800) {
        put(0xC0 | (codePoint >> 6));
        put(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        put(0xE0 | (codePoint >> 12));
        put(0x80 | ((codePoint >> 6) & 0x3F));
        put(0x80 | (codePoint & 0x3F));
    } else {
        put(0xF0 | (codePoint >> 18));
        put(0x80 | ((codePoint >> 12) & 0x3F));
        put(0x80 | ((codePoint >> 6) & 0x3F));
        put(0x80 | (codePoint & 0x3F));
    }
}

// Whether a well-formed number that a double cannot hold is too large for it rather than too
// small: whether its first significant digit lies at the units or above. The written exponent
// is read only as far as can matter for a text no longer than a few gigabytes.
bool tooLargeForDouble(std::string_view number) {
    const size_t mantissa = number.front() == '-' ? 1 : 0;
    const size_t exponentMark = std::min(number.find_first_of("eE"), number.size());
    const std::string_view digits = number.substr(mantissa, exponentMark - mantissa);
    int64_t firstDigit = 0; // the power of ten of the first significant digit
    if (digits.front() != '0') {
        firstDigit = static_cast<int64_t>(std::min(digits.find('.'), digits.size())) - 1;
    } else {
        const size_t significant = digits.find_first_of("123456789");
        if (significant == std::string_view::npos) {
            return false; // zero always fits
        }
        firstDigit = 1 - static_cast<int64_t>(significant); // digits begins with "0."
    }
    int64_t exponent = 0;
    size_t index = exponentMark + 1;
    const bool negative = index < number.size() && number[index] == '-';
    index += index < number.size() && (number[index] == '-' || number[index] == '+') ? 1 : 0;
    for (; index < number.size(); ++index) {
        exponent = std::min<int64_t>(exponent * 10 + (number[index] - '0'), int64_t{1} << 40);
    }
    return firstDigit + (negative ? -exponent : exponent) >= 0;
}

} // namespace

bool JSONParser::parse(std::string_view text, JSONHandler& handler) {
    text_ = text;
    position_ = 0;
    objects_.clear();
    if (!text.empty() && text.front() == '\xEF') {
        if (!text.starts_with("\xEF\xBB\xBF")) {
            return false;
        }
        position_ = 3;
    }
    while (true) {
        skipSpace();
        if (at('{') || at('[')) {
            const bool object = text_[position_++] == '{';
            object ? handler.startObject() : handler.startArray();
            skipSpace();
            if (!at(object ? '}' : ']')) {
                objects_.push_back(object);
                if (object && !memberName(handler)) {
                    return false;
                }
                continue;
            }
            ++position_;
            object ? handler.endObject() : handler.endArray();
        } else if (!scalar(handler)) {
            return false;
        }
        if (!closeContainers(handler)) {
            return false;
        }
        if (objects_.empty()) {
            return position_ == text_.size() || text_[position_] == '\0';
        }
    }
}

void JSONParser::release() {
    objects_ = {};
    decoded_ = {};
}

bool JSONParser::at(char c) const {
    return position_ < text_.size() && text_[position_] == c;
}

void JSONParser::skipSpace() {
    while (position_ < text_.size()) {
        const char next = text_[position_];
        if (next != ' ' && next != '\t' && next != '\n' && next != '\r') {
            return;
        }
        ++position_;
    }
}

bool JSONParser::closeContainers(JSONHandler& handler) {
    while (true) {
        skipSpace();
        if (objects_.empty()) {
            return true;
        }
        if (position_ == text_.size()) {
            return false;
        }
        const char next = text_[position_++];
        const bool object = objects_.back();
        if (next == ',') {
            return !object || memberName(handler);
        }
        if (next != (object ? '}' : ']')) {
            return false;
        }
        objects_.pop_back();
        object ? handler.endObject() : handler.endArray();
    }
}

bool JSONParser::memberName(JSONHandler& handler) {
    skipSpace();
    std::string_view name;
    if (!at('"') || !string(name)) {
        return false;
    }
    handler.key(name);
    skipSpace();
    if (!at(':')) {
        return false;
    }
    ++position_;
    return true;
}

bool JSONParser::scalar(JSONHandler& handler) {
    if (position_ == text_.size()) {
        return false;
    }
    switch (text_[position_]) {
    case '"': {
        std::string_view text;
        if (!string(text)) {
            return false;
        }
        handler.string(text);
        return true;
    }
    case 't':
        handler.boolean(true);
        return literal("true");
    case 'f':
        handler.boolean(false);
        return literal("false");
    case 'n':
        handler.null();
        return literal("null");
    default:
        return number(handler);
    }
}

bool JSONParser::literal(std::string_view word) {
    if (text_.substr(position_, word.size()) != word) {
        return false;
    }
    position_ += word.size();
    return true;
}

// Most strings have no escape and are handed over as they lie in the text.
bool JSONParser::string(std::string_view& result) {
    const size_t start = ++position_;
    while (position_ < text_.size()) {
        const char next = text_[position_];
        if (next == '"') {
            result = text_.substr(start, position_++ - start);
            return true;
        }
        if (next == '\\') {
            return escapedString(start, result);
        }
        if (isPlainASCII(next)) {
            ++position_;
        } else if (!plainCharacter()) {
            return false;
        }
    }
    return false;
}

bool JSONParser::escapedString(size_t start, std::string_view& result) {
    decoded_.clear();
    size_t run = start;
    while (position_ < text_.size()) {
        const char next = text_[position_];
        if (next == '"' || next == '\\') {
            decoded_.append(text_.substr(run, position_ - run));
            ++position_;
            if (next == '"') {
                result = decoded_;
                return true;
            }
            if (!escape()) {
                return false;
            }
            run = position_;
        } else if (isPlainASCII(next)) {
            ++position_;
        } else if (!plainCharacter()) {
            return false;
        }
    }
    return false;
}

bool JSONParser::plainCharacter() {
    const auto first = static_cast<unsigned char>(text_[position_]);
    if (first < 0x20) {
        return false;
    }
    if (first < 0x80) {
        ++position_;
        return true;
    }
    const foundation::UTF8Sequence sequence = foundation::utf8SequenceAt(text_, position_);
    position_ = sequence.end;
    return sequence.wellFormed;
}

bool JSONParser::escape() {
    if (position_ == text_.size()) {
        return false;
    }
    const char kind = text_[position_++];
    constexpr std::string_view named = "\"\\/bfnrt";
    constexpr std::string_view meant = "\"\\/\b\f\n\r\t";
    if (const size_t index = named.find(kind); index != std::string_view::npos) {
        decoded_.push_back(meant[index]);
        return true;
    }
    if (kind != 'u') {
        return false;
    }
    const int32_t first = hexQuad();
    if (first >= 0xDC00 && first <= 0xDFFF) {
        return false;
    }
    if (first < 0xD800 || first > 0xDBFF) {
        if (first < 0) {
            return false;
        }
        appendUTF8(decoded_, static_cast<uint32_t>(first));
        return true;
    }
    // A high surrogate is followed by the escape of a low one.
    if (!literal("\\u")) {
        return false;
    }
    const int32_t second = hexQuad();
    if (second < 0xDC00 || second > 0xDFFF) {
        return false;
    }
    appendUTF8(decoded_, 0x10000 + ((static_cast<uint32_t>(first) - 0xD800) << 10) +
                             (static_cast<uint32_t>(second) - 0xDC00));
    return true;
}

int32_t JSONParser::hexQuad() {
    if (text_.size() - position_ < 4) {
        return -1;
    }
    int32_t value = 0;
    for (int digit = 0; digit < 4; ++digit) {
        const int bits = hexDigitValue(text_[position_++]);
        if (bits < 0) {
            return -1;
        }
        value = value * 16 + bits;
    }
    return value;
}

bool JSONParser::digits() {
    const size_t start = position_;
    while (position_ < text_.size() && isDigit(text_[position_])) {
        ++position_;
    }
    return position_ > start;
}

bool JSONParser::number(JSONHandler& handler) {
    const size_t start = position_;
    const bool negative = at('-');
    position_ += negative ? 1 : 0;
    if (at('0')) {
        ++position_;
    } else if (!digits()) {
        return false;
    }
    bool integral = true;
    if (at('.')) {
        ++position_;
        integral = false;
        if (!digits()) {
            return false;
        }
    }
    if (at('e') || at('E')) {
        ++position_;
        integral = false;
        position_ += at('+') || at('-') ? 1 : 0;
        if (!digits()) {
            return false;
        }
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + position_;
    // An integer that does not fit 64 bits is read as a double, as any other number.
    if (integral && negative) {
        int64_t value = 0;
        if (std::from_chars(first, last, value).ec == std::errc{}) {
            handler.integer(value);
            return true;
        }
    } else if (integral) {
        uint64_t value = 0;
        if (std::from_chars(first, last, value).ec == std::errc{}) {
            handler.unsignedInteger(value);
            return true;
        }
    }
    double value = 0;
    if (std::from_chars(first, last, value).ec == std::errc::result_out_of_range) {
        // Too small a number reads as zero; too large a one is refused, as it has no value.
        if (tooLargeForDouble(text_.substr(start, position_ - start))) {
            return false;
        }
        value = negative ? -0.0 : 0.0;
    }
    handler.real(value);
    return true;
}

} // namespace vorla::endpoint_security
