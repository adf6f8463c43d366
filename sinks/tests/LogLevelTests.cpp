#include "sinks/LogFormattable.hpp"
#include "sinks/LogLevel.hpp"

#include <gtest/gtest.h>

namespace vorla {
namespace {

TEST(LogLevelTest, RawValuesStartAtOne) {
    EXPECT_EQ(fromRawValue(0), std::nullopt);
    EXPECT_EQ(fromRawValue(9), std::nullopt);
    EXPECT_EQ(fromRawValue(255), std::nullopt);
    EXPECT_EQ(fromRawValue(1), LogLevel::trace);
    EXPECT_EQ(fromRawValue(2), LogLevel::verbose);
    EXPECT_EQ(fromRawValue(8), LogLevel::critical);
}

TEST(LogLevelTest, ThresholdsCompareRawValues) {
    EXPECT_TRUE(passes(LogLevel::warning, LogLevel::warning));
    EXPECT_TRUE(passes(LogLevel::warning, LogLevel::info));
    EXPECT_FALSE(passes(LogLevel::warning, LogLevel::error));
    EXPECT_TRUE(passes(LogLevel::verbose, LogLevel::verbose));
    EXPECT_FALSE(passes(LogLevel::verbose, LogLevel::debug));
    EXPECT_TRUE(passes(LogLevel::trace, LogLevel::trace));
    EXPECT_FALSE(passes(LogLevel::error, LogLevel::critical));
}

TEST(LogLevelTest, DisplayTraits) {
    const struct {
        LogLevel level;
        const char* description;
        const char* emoji;
        LogColor color;
    } rows[] = {
        {LogLevel::trace, "TRACE", "\xF0\x9F\x9F\xA4", LogColor::darkGray},
        {LogLevel::verbose, "VERBOSE", "\xF0\x9F\x9F\xA3", LogColor::lightMagenta},
        {LogLevel::debug, "DEBUG", "\xF0\x9F\x94\xB5", LogColor::lightBlue},
        {LogLevel::info, "INFO", "\xF0\x9F\x9F\xA2", LogColor::lightGreen},
        {LogLevel::notice, "NOTICE", "\xF0\x9F\x9F\xA0", LogColor::yellow},
        {LogLevel::warning, "WARNING", "\xF0\x9F\x9F\xA1", LogColor::lightYellow},
        {LogLevel::error, "ERROR", "\xF0\x9F\x94\xB4", LogColor::lightRed},
        {LogLevel::critical, "CRITICAL", "\xF0\x9F\x92\xA5", LogColor::red},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(description(row.level), row.description);
        EXPECT_EQ(emoji(row.level), row.emoji);
        EXPECT_EQ(color(row.level), row.color);
    }
}

TEST(LogColorTest, ControlSequences) {
    EXPECT_EQ(colorize("x", LogColor::red), "\x1B[31mx\x1B[0m");
    EXPECT_EQ(colorize("x", LogColor::colorNumber(0)), "\x1B[38;5;0mx\x1B[0m");
    EXPECT_EQ(colorize("", LogColor::white), "\x1B[97m\x1B[0m");
    EXPECT_EQ(LogColor::colorNumber(200).foregroundCode(), "\x1B[38;5;200m");
    EXPECT_EQ(LogColor::black.foregroundCode(), "\x1B[30m");
    EXPECT_EQ(LogColor::lightGray.foregroundCode(), "\x1B[37m");
    EXPECT_EQ(LogColor::darkGray.foregroundCode(), "\x1B[90m");
    EXPECT_NE(LogColor::colorNumber(1), LogColor::colorNumber(2));
}

TEST(LogFormattableTest, ModuleAndFileNames) {
    const struct {
        const char* file;
        const char* module;
        const char* name;
    } rows[] = {
        {"com_vorla_client_extension/client", "com_vorla_client_extension", "client"},
        {"a/b/c", "a", "c"},
        {"main", "main", "main"},
        {"/abs/path", "", "path"},
        {"dir/", "dir", ""},
        {"", "", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(LogFormattable::moduleName(row.file), row.module) << row.file;
        EXPECT_EQ(LogFormattable::fileName(row.file), row.name) << row.file;
    }
}

TEST(DateFormatterFunctionTest, SettingsStayOnTheFormatter) {
    const auto date = foundation::Date(std::chrono::seconds(1714557600));
    foundation::DateFormatter formatter;
    EXPECT_EQ(
        dateFormatter(date, formatter, "en_US_POSIX", "yyyy-MM-dd'T'HH:mm:ss.SSSZZZZZ", "UTC"),
        "2024-05-01T10:00:00.000Z");
    EXPECT_EQ(dateFormatter(date + std::chrono::milliseconds(5), formatter),
              "2024-05-01T10:00:00.005Z");
}

} // namespace
} // namespace vorla
