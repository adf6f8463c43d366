#include "log_facade/Logger.hpp"
#include "log_facade/StreamLogHandler.hpp"
#include "log_facade/tests/RecordingLogHandler.hpp"

#include <gtest/gtest.h>

#include <cctype>

namespace vorla::logging {
namespace {

// "2024-05-01T12:00:00+0200": digits where the mask has 9, the mask's own character elsewhere.
bool isTimestamp(std::string_view text) {
    constexpr std::string_view mask = "9999-99-99T99:99:99+9999";
    if (text.size() != mask.size()) {
        return false;
    }
    for (std::size_t i = 0; i < mask.size(); ++i) {
        const bool matches = mask[i] == '9'   ? std::isdigit(static_cast<unsigned char>(text[i]))
                             : mask[i] == '+' ? text[i] == '+' || text[i] == '-'
                                              : text[i] == mask[i];
        if (!matches) {
            return false;
        }
    }
    return true;
}

using Level = LogHandler::Level;
using Metadata = LogHandler::Metadata;

class StreamLogHandlerTest : public ::testing::Test {
protected:
    // The last line written, without its leading timestamp, which is checked on its own.
    std::string lastLine() const {
        const std::string& line = stream->written.back();
        const auto space = line.find(' ');
        EXPECT_TRUE(isTimestamp(std::string_view(line).substr(0, space))) << line;
        return line.substr(space + 1);
    }

    void logInfo(const std::optional<Metadata>& metadata = std::nullopt) {
        handler.log(Level::info, "m", metadata, "S", "Mod/file.cpp", "f()", 1);
    }

    std::shared_ptr<testing::RecordingStream> stream = std::make_shared<testing::RecordingStream>();
    StreamLogHandler handler{"db", stream, std::nullopt};
};

TEST_F(StreamLogHandlerTest, LineWithoutMetadata) {
    logInfo();
    EXPECT_EQ(lastLine(), "info db : [S] m\n");
}

TEST_F(StreamLogHandlerTest, OwnMetadataIsSortedByKey) {
    handler.setSubscript("b", LogHandler::MetadataValue("2"));
    handler.setSubscript("a", LogHandler::MetadataValue("1"));
    logInfo();
    EXPECT_EQ(lastLine(), "info db : a=1 b=2 [S] m\n");
}

TEST_F(StreamLogHandlerTest, RecordMetadataWinsForOneLineOnly) {
    handler.setMetadata({{"a", "1"}});
    logInfo(Metadata{{"a", "9"}, {"z", LogHandler::MetadataValue::array({"x"})}});
    EXPECT_EQ(lastLine(), "info db : a=9 z=[\"x\"] [S] m\n");
    EXPECT_EQ(handler.subscript("a"), LogHandler::MetadataValue("1"));
    logInfo(Metadata{});
    EXPECT_EQ(lastLine(), "info db : a=1 [S] m\n");
}

TEST_F(StreamLogHandlerTest, ProviderSitsBetweenOwnAndRecordMetadata) {
    handler.setMetadata({{"a", "own"}, {"b", "own"}, {"c", "own"}});
    handler.setMetadataProvider(LogHandler::MetadataProvider([] {
        return Metadata{{"b", "provided"}, {"c", "provided"}};
    }));
    logInfo(Metadata{{"c", "record"}});
    EXPECT_EQ(lastLine(), "info db : a=own b=provided c=record [S] m\n");

    handler.setMetadataProvider(LogHandler::MetadataProvider([] { return Metadata{}; }));
    logInfo();
    EXPECT_EQ(lastLine(), "info db : a=own b=own c=own [S] m\n");
}

TEST_F(StreamLogHandlerTest, EmptyMetadataLeavesNoMetadataPart) {
    handler.setMetadata({{"a", "1"}});
    handler.setMetadata({});
    logInfo();
    EXPECT_EQ(lastLine(), "info db : [S] m\n");
}

TEST_F(StreamLogHandlerTest, ControlCharactersCannotBreakTheLine) {
    handler.log(Level::error, "one\ntwo\r", Metadata{{"k\n", "v\x1b[2J"}}, "S\n", "", "", 0);
    EXPECT_EQ(lastLine(), "error db : k\\n=v\\u{1B}[2J [S\\n] one\\ntwo\\r\n");
}

TEST_F(StreamLogHandlerTest, ThroughALoggerNewHandlersDropDebugAndDeriveSources) {
    const Logger logger("db", [&](const std::string&) { return handler; });
    logger.debug("dropped");
    EXPECT_TRUE(stream->written.empty());

    const LogHandler& base = handler;
    base.log(Level::notice, "m", std::nullopt, "/src/Orders/Checkout.swift", "f()", 1);
    EXPECT_EQ(lastLine(), "notice db : [Orders] m\n");
}

TEST_F(StreamLogHandlerTest, ThroughALoggerARecordAtTheHandlersOwnLevelIsWritten) {
    std::size_t lines = 0;
    for (const Level level : logging::allCases) {
        Logger logger("db", [&](const std::string&) { return handler; });
        logger.setLogLevel(level);
        logger.log(level, "m", {}, "S");
        ASSERT_EQ(stream->written.size(), ++lines) << logging::rawValue(level);
        EXPECT_EQ(lastLine(), std::string(logging::rawValue(level)) + " db : [S] m\n");
    }
}

TEST(StreamLogHandlerStandardStreamsTest, WriteWholeLinesToStandardOutput) {
    ::testing::internal::CaptureStdout();
    StreamLogHandler::standardOutput("out", std::nullopt)
        .log(Level::info, "hello", std::nullopt, "S", "", "", 0);
    const std::string captured = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(captured.find(" info out : [S] hello\n"), std::string::npos) << captured;
}

} // namespace
} // namespace vorla::logging
