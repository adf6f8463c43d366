#include "extension/config/YamlScalar.hpp"

#include <gtest/gtest.h>

namespace vorla::extension {
namespace {

TEST(YamlScalar, BooleansInEveryYaml11Spelling) {
    for (const char* text :
         {"y", "Y", "yes", "Yes", "YES", "true", "True", "TRUE", "on", "On", "ON"}) {
        EXPECT_EQ(yamlBool(text), true) << text;
    }
    for (const char* text :
         {"n", "N", "no", "No", "NO", "false", "False", "FALSE", "off", "Off", "OFF"}) {
        EXPECT_EQ(yamlBool(text), false) << text;
    }
    for (const char* text : {"", "yES", "tRUE", "1", "0", "enabled", "true "}) {
        EXPECT_EQ(yamlBool(text), std::nullopt) << text;
    }
}

struct IntegerCase {
    const char* text;
    bool negative;
    std::uint64_t magnitude;
};

TEST(YamlScalar, IntegersInEveryYaml11Form) {
    const IntegerCase cases[] = {
        {"0", false, 0},
        {"5", false, 5},
        {"+5", false, 5},
        {"-5", true, 5},
        {"1_000", false, 1000},
        {"0b101", false, 5},
        {"0b1_0", false, 2},
        {"0x1F", false, 31},
        {"0xff_ff", false, 65535},
        {"010", false, 8},
        {"0_17", false, 15},
        {"1:30", false, 90},
        {"1:00:00", false, 3600},
        {"-1:05", true, 65},
        {"18446744073709551615", false, 18446744073709551615ULL},
    };
    for (const auto& row : cases) {
        const auto value = yamlInteger(row.text);
        ASSERT_TRUE(value) << row.text;
        EXPECT_EQ(value->negative, row.negative) << row.text;
        EXPECT_EQ(value->magnitude, row.magnitude) << row.text;
        EXPECT_FALSE(value->overflow) << row.text;
    }
}

TEST(YamlScalar, TextsThatAreNoIntegers) {
    for (const char* text :
         {"",    "+",   "-",  "08",   "09", "0b",   "0b2",  "0x",   "0xg", "0o17",
          "1.0", "1e3", "_1", "1:60", "1:", "1::2", "0:30", "five", "5 ",  " 5"}) {
        EXPECT_FALSE(yamlInteger(text).has_value()) << text;
    }
}

TEST(YamlScalar, OverflowIsReportedNotWrapped) {
    for (const char* text :
         {"18446744073709551616", "0x1_0000_0000_0000_0000", "99999999999999999999999"}) {
        const auto value = yamlInteger(text);
        ASSERT_TRUE(value) << text;
        EXPECT_TRUE(value->overflow) << text;
    }
}

TEST(YamlScalar, NullForms) {
    for (const char* text : {"", "~", "null", "Null", "NULL"}) {
        EXPECT_TRUE(isYamlNull(text)) << text;
    }
    EXPECT_FALSE(isYamlNull("nULL"));
    EXPECT_FALSE(isYamlNull("none"));
}

TEST(YamlScalar, QuotesWhatAnotherReaderCouldTakeForAnotherType) {
    for (const char* text : {"", "~", "null", "yes", "Off", "y", "5", "-1", "+1", "0x10", "1.5",
                             ".inf", ".NaN", "2024-05-01", "1:30", "<<", "="}) {
        EXPECT_TRUE(needsQuotes(text)) << text;
    }
    for (const char* text : {"/var/log/audit.log", "${timestamp} ${username}", "json", "prefix",
                             "yesterday", "Vorla"}) {
        EXPECT_FALSE(needsQuotes(text)) << text;
    }
}

} // namespace
} // namespace vorla::extension
