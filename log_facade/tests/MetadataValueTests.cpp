#include "log_facade/MetadataValue.hpp"

#include <gtest/gtest.h>

namespace vorla::logging {
namespace {

struct Port : CustomStringConvertible {
    explicit Port(int value) : number(value) {}
    std::string description() const override { return std::to_string(number); }
    int number;
};

TEST(MetadataValueTest, TextForms) {
    const struct {
        const char* name;
        MetadataValue value;
        std::string expected;
    } cases[] = {
        {"string", "plain", "plain"},
        {"convertible", MetadataValue::stringConvertible(Port(22)), "22"},
        {"one entry", MetadataValue::dictionary({{"a", "1"}}), R"(["a": "1"])"},
        {"empty map", MetadataValue(Metadata{}), "[:]"},
        {"empty list", MetadataValue(MetadataValue::Array{}), "[]"},
        {"list", MetadataValue::array({"x", "y"}), R"(["x", "y"])"},
        {"map in list", MetadataValue::array({MetadataValue::dictionary({{"k", "v"}})}),
         R"(["[\"k\": \"v\"]"])"},
        {"escapes", MetadataValue::array({"a\"b\\c\nd\x1b"}), R"(["a\"b\\c\nd\u{1B}"])"},
    };
    for (const auto& testCase : cases) {
        EXPECT_EQ(testCase.value.description(), testCase.expected) << testCase.name;
    }
}

TEST(MetadataValueTest, MapListsEveryEntryOnce) {
    const std::string text = MetadataValue::dictionary({{"a", "1"}, {"b", "2"}}).description();
    EXPECT_TRUE(text == R"(["a": "1", "b": "2"])" || text == R"(["b": "2", "a": "1"])") << text;
}

TEST(MetadataValueTest, Equality) {
    const MetadataValue nested = MetadataValue::dictionary({{"k", MetadataValue::array({"1"})}});
    EXPECT_EQ(MetadataValue::stringConvertible(Port(7)), MetadataValue::stringConvertible(Port(7)));
    EXPECT_NE(MetadataValue("7"), MetadataValue::stringConvertible(Port(7)));
    EXPECT_EQ(nested, MetadataValue::dictionary({{"k", MetadataValue::array({"1"})}}));
    EXPECT_NE(nested, MetadataValue::dictionary({{"k", MetadataValue::array({"2"})}}));
    EXPECT_NE(nested, MetadataValue::dictionary({{"k", MetadataValue::array({"1"})}, {"j", "1"}}));
    EXPECT_NE(MetadataValue::array({"1", "2"}), MetadataValue::array({"2", "1"}));
    EXPECT_NE(MetadataValue(Metadata{}), MetadataValue(MetadataValue::Array{}));
}

TEST(MetadataValueDeathTest, RepeatedKeyInMapLiteralStops) {
    EXPECT_DEATH((void)MetadataValue::dictionary({{"a", "1"}, {"a", "2"}}), "");
}

} // namespace
} // namespace vorla::logging
