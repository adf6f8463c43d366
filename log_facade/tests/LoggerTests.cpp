#include "log_facade/Logger.hpp"
#include "log_facade/StreamLogHandler.hpp"
#include "log_facade/tests/RecordingLogHandler.hpp"

#include <gtest/gtest.h>

namespace vorla::logging {
namespace {

using testing::RecordingLogHandler;
using Level = Logger::Level;
using Metadata = Logger::Metadata;

Logger recordingLogger(Level level) {
    return Logger("test", [level](const std::string&) { return RecordingLogHandler(level); });
}

const RecordingLogHandler& recorder(const Logger& logger) {
    return *logger.handler().as<RecordingLogHandler>();
}

TEST(LoggerTest, ProducersRunOnceEachInOrderOnlyAtOrAboveTheLevel) {
    for (Level recordLevel : logging::allCases) {
        const Logger logger = recordingLogger(Level::notice);
        std::string calls;
        logger.log(
            recordLevel, [&] { return calls += "m", Logger::Message("text"); },
            [&] { return calls += "d", std::optional<Metadata>(); },
            [&] { return calls += "s", std::optional<std::string>("src"); });
        const bool passes = recordLevel >= Level::notice;
        EXPECT_EQ(calls, passes ? "mds" : "") << logging::rawValue(recordLevel);
        EXPECT_EQ(recorder(logger).records().size(), passes ? 1u : 0u);
    }
}

TEST(LoggerTest, ShorthandsUseTheirLevel) {
    const Logger atDebug = recordingLogger(Level::debug);
    atDebug.trace("dropped");
    EXPECT_TRUE(recorder(atDebug).records().empty());

    const Logger atCritical = recordingLogger(Level::critical);
    atCritical.error("dropped");
    atCritical.critical("kept");
    ASSERT_EQ(recorder(atCritical).records().size(), 1u);
    EXPECT_EQ(recorder(atCritical).records()[0].level, Level::critical);
    EXPECT_EQ(recorder(atCritical).records()[0].message, "kept");
}

TEST(LoggerTest, RecordCarriesMetadataAsProducedAndTheGivenSource) {
    const Logger logger = recordingLogger(Level::trace);
    logger.info("m", Metadata{{"a", "1"}}, "Billing");
    const auto& record = recorder(logger).records().at(0);
    EXPECT_EQ(record.metadata, (Metadata{{"a", "1"}}));
    EXPECT_EQ(record.source, "Billing");
}

TEST(LoggerTest, SourceWithoutOneIsTheModuleOfTheFileID) {
    const struct {
        std::optional<std::string> source;
        std::string_view file;
        std::string expected;
    } cases[] = {
        {std::nullopt, "Orders/Checkout.swift", "Orders"},
        {std::nullopt, "Checkout.swift", "n/a"},
        {std::nullopt, "/Checkout.swift", ""},
        {std::nullopt, "Orders/Sub/Checkout.swift", "Orders"},
        {"Given", "Orders/Checkout.swift", "Given"},
    };
    for (const auto& testCase : cases) {
        const Logger logger = recordingLogger(Level::trace);
        logger.info(
            "m", {}, [&] { return testCase.source; }, Logger::CallSite(testCase.file, "f()", 1));
        EXPECT_EQ(recorder(logger).records().at(0).source, testCase.expected) << testCase.file;
    }
}

TEST(LoggerTest, CallSiteDefaultsToTheCallersFolderAndFile) {
    const Logger logger = recordingLogger(Level::trace);
    logger.info("m");
    const auto& record = recorder(logger).records().at(0);
    EXPECT_EQ(record.file, "tests/LoggerTests.cpp");
    EXPECT_EQ(record.source, "tests");
}

TEST(LoggerTest, CurrentModuleOfFilePathIsTheHoldingFolder) {
    const struct {
        std::string_view path;
        std::string_view expected;
    } cases[] = {
        {"/Users/dev/Orders/Checkout.swift", "Orders"},
        {"Orders/Checkout.swift", "n/a"},
        {"Checkout.swift", "n/a"},
        {"/Checkout.swift", "n/a"},
        {"a//Checkout.swift", ""},
    };
    for (const auto& testCase : cases) {
        EXPECT_EQ(Logger::currentModule(Logger::FilePath{testCase.path}), testCase.expected)
            << testCase.path;
    }
}

TEST(LoggerTest, MetadataSubscriptReadsWritesAndRemoves) {
    Logger logger = recordingLogger(Level::trace);
    EXPECT_EQ(logger.subscript("missing"), std::nullopt);
    logger.setSubscript("missing", std::nullopt);
    EXPECT_TRUE(logger.handler()->metadata().empty());

    logger.setSubscript("k", Logger::MetadataValue("v"));
    EXPECT_EQ(logger.subscript("k"), Logger::MetadataValue("v"));
    logger.setSubscript("k", std::nullopt);
    EXPECT_EQ(logger.subscript("k"), std::nullopt);
}

TEST(LoggerTest, CopiesHaveTheirOwnHandler) {
    const auto stream = std::make_shared<testing::RecordingStream>();
    Logger first("db", [&](const std::string& label) {
        return StreamLogHandler(label, stream, std::nullopt);
    });
    Logger second = first;
    second.setLogLevel(Level::error);
    second.setSubscript("k", Logger::MetadataValue("v"));
    EXPECT_EQ(first.logLevel(), Level::info);
    EXPECT_EQ(first.subscript("k"), std::nullopt);

    first.info("shared stream");
    second.info("dropped");
    EXPECT_EQ(stream->written.size(), 1u);
}

TEST(LoggerTest, ProviderConstructorHandsTheProviderToTheHandler) {
    const Logger::MetadataProvider provider([] { return Metadata{{"request", "42"}}; });
    const Logger logger("db", provider);
    ASSERT_TRUE(logger.metadataProvider().has_value());
    EXPECT_EQ(logger.metadataProvider()->get(), provider.get());
    EXPECT_EQ(logger.label(), "db");
}

} // namespace
} // namespace vorla::logging
