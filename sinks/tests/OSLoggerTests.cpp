#include "sinks/ConsoleLogger.hpp"
#include "sinks/OSLogger.hpp"

#include "platform/oslog/tests/LogMirror.hpp"
#include "tests/support/BoundedWait.hpp"

#include <future>
#include <gtest/gtest.h>

namespace vorla {
namespace {

using testing::logMirrorText;

TEST(OSLoggerTest, LevelsMapToLogTypes) {
    const struct {
        LogLevel level;
        oslog::LogType type;
    } rows[] = {
        {LogLevel::trace, oslog::LogType::debug}, {LogLevel::verbose, oslog::LogType::debug},
        {LogLevel::debug, oslog::LogType::debug}, {LogLevel::info, oslog::LogType::info},
        {LogLevel::notice, oslog::LogType::info}, {LogLevel::warning, oslog::LogType::defaultType},
        {LogLevel::error, oslog::LogType::error}, {LogLevel::critical, oslog::LogType::fault},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(OSLogger::logType(row.level), row.type);
    }
}

TEST(OSLoggerTest, DirectWritesIgnoreTheThresholdAndKeepPercentSigns) {
    const auto logger =
        std::make_shared<OSLogger>("com.vorla.system", LogLevel::critical, nullptr, "vorla");
    logger->log(LogLevel::debug, "disk 100% full %s%n");
    logger->log(LogLevel::warning, "two\nlines");
    EXPECT_EQ(logMirrorText(), "debug\tcom.vorla.system\tvorla\tdisk 100% full %s%n\n"
                               "default\tcom.vorla.system\tvorla\ttwo\\nlines\n");

    std::promise<void> done;
    logger->pickMessage(LogLevel::error, "filtered", "", "", "", 0, {}, logger->label(), {}, 0);
    logger->flush([&] { done.set_value(); });
    bounded::get(done.get_future(), "the flush of the system-log sink");
    EXPECT_EQ(logMirrorText().find("filtered"), std::string::npos);
}

TEST(ConsoleLoggerTest, PrintsOneLinePerText) {
    const auto console = std::make_shared<ConsoleLogger>("console", LogLevel::trace, nullptr);
    ::testing::internal::CaptureStdout();
    console->log(LogLevel::info, "");
    console->log(LogLevel::info, std::string("a\0b", 3));
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string("\na\0b\n", 5));
}

} // namespace
} // namespace vorla
