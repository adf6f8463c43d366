#include "extension/records/JSONLine.hpp"
#include "platform/foundation/JSONEncoder.hpp"

#include <gtest/gtest.h>

namespace vorla::records {
namespace {

using namespace std::string_view_literals;

// Hostile strings must come out byte for byte as the general encoder writes them: escapes,
// slashes, truncated, overlong and surrogate sequences, and runs of invalid bytes.
TEST(JSONLine, EscapesAndRepairsStringsAsTheEncoderDoes) {
    const std::string_view rows[] = {
        ""sv,
        "/usr/bin//x"sv,
        "\"quoted\\path\""sv,
        "\x00\x01\x08\x09\x0a\x0b\x0c\x0d\x1f\x7f"sv,
        "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"sv,
        "\xC3"sv,
        "\xE2\x82"sv,
        "\xE2\x82z"sv,
        "\xC0\xAF\xE0\x80\xAF"sv,
        "\xED\xA0\x80\xED\xBF\xBF"sv,
        "\xF4\x90\x80\x80\xF5\xFF"sv,
        "\x80\x80\xBF/\xF0\x9F\x98"sv,
        "\xE2\x80\xA8\xC2\x85"sv,
    };
    for (const std::string_view row : rows) {
        EXPECT_EQ(JSONLine(0).string(row).take(),
                  foundation::JSONEncoder().encode(nlohmann::json(std::string(row))))
            << nlohmann::json(std::string(row))
                   .dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
    }
}

// Plain text is passed over eight bytes at a time, the last few of a string read apart: each
// byte that needs care must be seen at every place in a word, across the border of two, in a
// string shorter than a word and in the tail of a longer one, also behind another one.
TEST(JSONLine, SeesEveryByteThatNeedsCareWhereverItStands) {
    const std::string_view hostile[] = {
        "\"",       "\\",   "/",          "\x1F",         "\x00",
        "\x7F",     "\x80", "\xC3\xA9",   "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
        "\xE2\x82", "/\"",  "\xC3\xA9\\", "\x01\xFF"};
    for (const std::string_view bytes : hostile) {
        for (const std::size_t size : {0, 1, 3, 6, 7, 8, 9, 12, 15, 16, 19}) {
            for (std::size_t at = 0; at <= size; ++at) {
                std::string row(size, 'a');
                row.insert(at, bytes);
                EXPECT_EQ(JSONLine(0).string(row).take(),
                          foundation::JSONEncoder().encode(nlohmann::json(row)))
                    << at << ' ' << row.size();
            }
        }
    }
}

TEST(JSONLine, SeparatesMembersAndElements) {
    JSONLine line(0);
    line.beginObject().key("a").beginArray().endArray().key("b").beginArray();
    line.number(std::int64_t{-1}).number(std::uint64_t{4294967294}).null().boolean(true);
    line.endArray().key("c").beginObject().endObject().endObject();
    EXPECT_EQ(line.take(), R"({"a":[],"b":[-1,4294967294,null,true],"c":{}})");
}

} // namespace
} // namespace vorla::records
