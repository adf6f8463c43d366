#include "platform/foundation/JSONEncoder.hpp"

#include <gtest/gtest.h>

namespace vorla::foundation {
namespace {

using nlohmann::json;

TEST(JSONEncoder, WritesCompactTextWithKeysInByteOrderAtEveryLevel) {
    const json value = {
        {"b", 1}, {"a", {{"z", true}, {" ", "x"}, {"Z", nullptr}}}, {"\xC3\xA9", 2}};
    EXPECT_EQ(JSONEncoder().encode(value), R"({"a":{" ":"x","Z":null,"z":true},"b":1,"é":2})");
}

TEST(JSONEncoder, EscapesSlashesQuotesAndControlCharacters) {
    const struct {
        std::string text;
        std::string expected;
    } rows[] = {
        {"/usr/bin", R"("\/usr\/bin")"},
        {"//a/", R"("\/\/a\/")"},
        {"no slash", R"("no slash")"},
        {"a\"b\\c", R"("a\"b\\c")"},
        {"line\nbreak\r\t", R"("line\nbreak\r\t")"},
        {std::string("nul\0esc\x1b", 8), R"("nul\u0000esc\u001b")"},
        {"bad \xFF\xC3 end", "\"bad \xEF\xBF\xBD\xEF\xBF\xBD end\""},
    };
    for (const auto& row : rows) {
        const std::string line = JSONEncoder().encode({{"k", row.text}});
        EXPECT_EQ(line, "{\"k\":" + row.expected + "}") << row.expected;
        EXPECT_EQ(line.find('\n'), std::string::npos);
        EXPECT_TRUE(json::accept(line));
    }
}

TEST(JSONEncoder, EscapesSlashesInKeysAndNestedValues) {
    const json value = {{"a/b", {{"c", {"/", "x/"}}}}};
    EXPECT_EQ(JSONEncoder().encode(value), R"({"a\/b":{"c":["\/","x\/"]}})");
}

TEST(JSONEncoder, KeepsUnsignedAndSignedNumbers) {
    const json value = {{"big", uint64_t{1} << 63}, {"max", UINT64_MAX}, {"neg", -2}};
    EXPECT_EQ(JSONEncoder().encode(value),
              R"({"big":9223372036854775808,"max":18446744073709551615,"neg":-2})");
}

TEST(JSONEncoder, RefusesAValueThatEncodesNothing) {
    for (const json& empty : {json(), json::object()}) {
        try {
            (void)JSONEncoder().encode(empty);
            FAIL() << "no error for " << empty.dump();
        } catch (const JSONEncoder::EncodingError& error) {
            EXPECT_NE(std::string(error.what()).find("did not encode any values"),
                      std::string::npos);
        }
    }
}

} // namespace
} // namespace vorla::foundation
