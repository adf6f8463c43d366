#include "log_facade/Logger.hpp"
#include "log_facade/NoOpLogHandler.hpp"
#include "log_facade/tests/RecordingLogHandler.hpp"

#include <gtest/gtest.h>

namespace vorla::logging {
namespace {

using Level = LogHandler::Level;

// Implements only the form without source, as older handlers do.
class SourcelessHandler : public testing::RecordingLogHandler {
public:
    void log(Level level, const Message& message, const std::optional<Metadata>& metadata,
             std::string_view file, std::string_view function, std::uint64_t line) const override {
        RecordingLogHandler::log(level, message, metadata, "<dropped>", file, function, line);
    }
    void log(Level level, const Message& message, const std::optional<Metadata>& metadata,
             std::string_view source, std::string_view file, std::string_view function,
             std::uint64_t line) const override {
        LogHandler::log(level, message, metadata, source, file, function, line);
    }
};

TEST(LogHandlerTest, DefaultsBridgeTheTwoLogForms) {
    const testing::RecordingLogHandler withSource;
    const LogHandler& handler = withSource;
    handler.log(Level::info, "m", std::nullopt, "/src/Orders/Checkout.swift", "f()", 3);
    EXPECT_EQ(withSource.records().at(0).source, "Orders");

    const SourcelessHandler sourceless;
    const LogHandler& other = sourceless;
    other.log(Level::info, "m", std::nullopt, "Given", "Orders/Checkout.swift", "f()", 3);
    EXPECT_EQ(sourceless.records().at(0).source, "<dropped>");
}

TEST(LogHandlerTest, ProviderIsIgnoredByDefault) {
    NoOpLogHandler handler;
    handler.setMetadataProvider(logging::MetadataProvider([] { return LogHandler::Metadata{}; }));
    EXPECT_EQ(handler.metadataProvider(), std::nullopt);
}

TEST(NoOpLogHandlerTest, IgnoresEveryChangeAndStillLetsCriticalRecordsBeProduced) {
    NoOpLogHandler handler("ignored label");
    handler.setLogLevel(Level::trace);
    handler.setMetadata({{"k", "v"}});
    handler.setSubscript("k", LogHandler::MetadataValue("v"));
    EXPECT_EQ(handler.logLevel(), Level::critical);
    EXPECT_TRUE(handler.metadata().empty());
    EXPECT_EQ(handler.subscript("k"), std::nullopt);

    const Logger logger("x", [](const std::string& label) { return NoOpLogHandler(label); });
    int produced = 0;
    logger.error([&] { return ++produced, Logger::Message("e"); });
    logger.critical([&] { return ++produced, Logger::Message("c"); });
    EXPECT_EQ(produced, 1);
}

} // namespace
} // namespace vorla::logging
