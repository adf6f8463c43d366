#include "extension/records/RecordText.hpp"
#include "platform/foundation/JSONEncoder.hpp"

#include <gtest/gtest.h>

namespace vorla::records {
namespace {

TEST(RecordText, TakesBytesUpToTheFirstZeroAndNeverPastTheLength) {
    const char bytes[] = "abc\0def";
    const struct {
        es_string_token_t token;
        std::optional<std::string> expected;
    } rows[] = {
        {{3, nullptr}, std::nullopt}, {{0, bytes}, std::nullopt}, {{2, bytes}, "ab"},
        {{7, bytes}, "abc"},          {{1, bytes + 3}, ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(tokenView(row.token), row.expected) << row.token.length;
    }
}

TEST(RecordText, ReplacesEachInvalidSequenceWithOneReplacementCharacter) {
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        std::string bytes;
        std::string expected;
    } rows[] = {
        {"plain", "plain"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"a\xFF"
         "b",
         "a" + fffd + "b"},
        {"\xC3", fffd},
        {"\xE2\x82"
         "x",
         fffd + "x"},
        {"\xED\xA0\x80", fffd + fffd + fffd},
        {"\xC0\xAF", fffd + fffd},
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
        // One sequence on each side of each edge of the well-formed ranges.
        {"\x7F", "\x7F"},
        {"\x80", fffd},
        {"\xBF", fffd},
        {"\xC0\x80", fffd + fffd},
        {"\xC1\xBF", fffd + fffd},
        {"\xC2\x80", "\xC2\x80"},
        {"\xC2\x7F", fffd + "\x7F"},
        {"\xC2\xC0", fffd + fffd},
        {"\xDF\xBF", "\xDF\xBF"},
        {"\xE0\x9F\xBF", fffd + fffd + fffd},
        {"\xE0\xA0\x80", "\xE0\xA0\x80"},
        {"\xED\x9F\xBF", "\xED\x9F\xBF"},
        {"\xED\xBF\xBF", fffd + fffd + fffd},
        {"\xEE\x80\x80", "\xEE\x80\x80"},
        {"\xF0\x8F\xBF\xBF", fffd + fffd + fffd + fffd},
        {"\xF0\x90\x80\x80", "\xF0\x90\x80\x80"},
        {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        {"\xF5\x80\x80\x80", fffd + fffd + fffd + fffd},
        {"\xF0\x9F\x98", fffd},
        {"\xF0\x9F\x98"
         "x",
         fffd + "x"},
        {"\xE2\xE2\x82\xAC", fffd + "\xE2\x82\xAC"},
        {"\xFE", fffd},
        {"\xFF\xFE", fffd + fffd},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(validUTF8(row.bytes), row.expected);
        EXPECT_EQ(validUTF8(std::string(row.bytes)), row.expected);
        EXPECT_EQ(isValidUTF8(row.bytes), row.bytes == row.expected) << row.expected;
        // The JSON encoder replaces what reaches it unchecked by the same rule.
        EXPECT_EQ(foundation::JSONEncoder().encode({{"k", row.bytes}}),
                  "{\"k\":\"" + row.expected + "\"}")
            << row.expected;
    }
}

TEST(RecordText, ReadsAFullFixedArrayNoFurtherThanItsSize) {
    struct {
        char name[4];
        char after[4];
    } fixed = {{'a', 'b', 'c', 'd'}, {'x', 'y', 'z', '\0'}};
    EXPECT_EQ(fixedView(fixed.name, sizeof fixed.name), "abcd");
    EXPECT_EQ(fixedView(fixed.after, sizeof fixed.after), "xyz");
}

} // namespace
} // namespace vorla::records
