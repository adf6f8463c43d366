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
        // One byte on each side of each edge: the controls with and without a short escape,
        // the end of the controls, the three escaped printables and DEL and the C1 controls,
        // which JSON leaves as they are.
        {"\x01", R"("\u0001")"},
        {"\x07", R"("\u0007")"},
        {"\x08", R"("\b")"},
        {"\x0B", R"("\u000b")"},
        {"\x0C", R"("\f")"},
        {"\x0E", R"("\u000e")"},
        {"\x1F", R"("\u001f")"},
        {" ", R"(" ")"},
        {"!", R"("!")"},
        {"\"", R"("\"")"},
        {"#", R"("#")"},
        {".", R"(".")"},
        {"/", R"("\/")"},
        {"0", R"("0")"},
        {"[", R"("[")"},
        {"\\", R"("\\")"},
        {"]", R"("]")"},
        {"~", R"("~")"},
        {"\x7F", "\"\x7F\""},
        {"\xC2\x80", "\"\xC2\x80\""},
        {"\xC2\x9F", "\"\xC2\x9F\""},
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
