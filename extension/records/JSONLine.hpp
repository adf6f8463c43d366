#pragma once

#include "platform/foundation/Date.hpp"

#include <concepts>
#include <cstdint>
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
    explicit JSONLine(std::size_t capacity) { text_.reserve(capacity); }

    JSONLine& beginObject() { return open('{'); }
    JSONLine& endObject() { return close('}'); }
    JSONLine& beginArray() { return open('['); }
    JSONLine& endArray() { return close(']'); }
    // The key of the next member: written as it is, so only plain ASCII keys.
    JSONLine& key(std::string_view name);

    JSONLine& string(std::string_view bytes);
    // An integer with the value of its own type: a negative signed one stays negative, an
    // unsigned one of any size keeps its unsigned value, as the encoder keeps them.
    template <std::integral Integer>
    requires(!std::same_as<Integer, bool>) JSONLine& number(Integer value) {
        if constexpr (std::is_signed_v<Integer>) {
            return integer(static_cast<std::int64_t>(value));
        } else {
            return integer(static_cast<std::uint64_t>(value));
        }
    }
    JSONLine& boolean(bool value) { return raw(value ? "true" : "false"); }
    JSONLine& null() { return raw("null"); }
    // The date as a string, as appendTimestamp writes it.
    JSONLine& timestamp(foundation::Date date);

    std::string take() { return std::move(text_); }

private:
    JSONLine& open(char bracket);
    JSONLine& close(char bracket);
    JSONLine& raw(std::string_view literal);
    JSONLine& integer(std::int64_t value);
    JSONLine& integer(std::uint64_t value);
    template <typename Integer> JSONLine& decimal(Integer value);
    void separate();

    std::string text_;
    // Whether a value precedes in the current object or array, so the next one needs a comma.
    bool afterValue_ = false;
};

} // namespace vorla::records
