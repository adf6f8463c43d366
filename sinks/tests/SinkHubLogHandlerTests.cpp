#include "sinks/SinkHubLogHandler.hpp"

#include "log_facade/Logger.hpp"

#include "RecordingFormat.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vorla {
namespace {

using logging::Level;
using logging::Logger;
using logging::LogHandler;
using logging::Metadata;
using logging::MetadataValue;

using testing::NullSink;
using testing::Received;
using testing::RecordingFormat;

class SinkHubLogHandlerTest : public ::testing::Test {
protected:
    std::shared_ptr<NullSink> makeSink(const std::string& label, LogLevel level = LogLevel::trace) {
        return std::make_shared<NullSink>(label, level, format);
    }

    // Waits for every queued write, then gives what reached the sinks.
    std::vector<Received> received(const SinkHubLogHandler& handler) const {
        EXPECT_EQ(handler.hub().flush(10), WaitingResult::success);
        return format->received();
    }

    // The "metadata" entry of the one record a call with `recordMetadata` produces.
    std::string metadataEntry(const Metadata& handlerMetadata,
                              const std::optional<Metadata>& recordMetadata) {
        format = std::make_shared<RecordingFormat>();
        const SinkHubLogHandler handler("app", SinkHub({makeSink("sink")}), handlerMetadata);
        handler.log(Level::info, "m", recordMetadata, "src", "file", "fn", 1);
        const auto records = received(handler);
        EXPECT_EQ(records.size(), 1U);
        return records.empty() ? std::string() : records.front().facadeInfo.at("metadata");
    }

    std::shared_ptr<RecordingFormat> format = std::make_shared<RecordingFormat>();
};

TEST_F(SinkHubLogHandlerTest, PassesTheRecordToTheSinksWithTheFacadeInfo) {
    const SinkHubLogHandler handler("com.example.app", SinkHub({makeSink("file")}));
    handler.log(Level::warning, "disk almost full", std::nullopt, "Storage", "Sources/x.cpp",
                "check()", 42);
    const auto records = received(handler);
    ASSERT_EQ(records.size(), 1U);
    const Received& record = records.front();
    EXPECT_EQ(record.level, LogLevel::warning);
    EXPECT_EQ(record.message, "disk almost full");
    EXPECT_EQ(record.tag, "logfacade");
    EXPECT_EQ(record.function, "check()");
    EXPECT_EQ(record.file, "Sources/x.cpp");
    EXPECT_EQ(record.line, 42U);
    EXPECT_EQ(record.facadeInfo,
              (FacadeInfo{{"label", "com.example.app"}, {"source", "Storage"}, {"metadata", ""}}));
}

const std::vector<std::pair<Level, LogLevel>> namesakes{
    {Level::trace, LogLevel::trace},      {Level::debug, LogLevel::debug},
    {Level::info, LogLevel::info},        {Level::notice, LogLevel::notice},
    {Level::warning, LogLevel::warning},  {Level::error, LogLevel::error},
    {Level::critical, LogLevel::critical}};

TEST_F(SinkHubLogHandlerTest, TranslatesEveryLevelToItsNamesake) {
    const SinkHubLogHandler handler("app", SinkHub({makeSink("sink")}));
    for (const auto& [level, expected] : namesakes) {
        handler.log(level, "m", std::nullopt, "src", "file", "fn", 1);
    }
    const auto records = received(handler);
    ASSERT_EQ(records.size(), namesakes.size());
    for (std::size_t index = 0; index < namesakes.size(); ++index) {
        EXPECT_EQ(records[index].level, namesakes[index].second) << "row " << index;
    }
}

TEST_F(SinkHubLogHandlerTest, WritesTheMetadataText) {
    struct Row {
        Metadata handler;
        std::optional<Metadata> record;
        std::string expected;
    };
    const std::vector<Row> rows{
        {{}, std::nullopt, ""},
        {{}, Metadata{}, ""},
        {{{"a", "1"}}, std::nullopt, R"(["a": 1])"},
        {{{"a", "1"}}, Metadata{}, R"(["a": 1])"},
        {{}, Metadata{{"a", "2"}}, R"(["a": 2])"},
        {{{"a", "1"}}, Metadata{{"a", "2"}}, R"(["a": 2])"},
        // Nested values keep their own quoted form.
        {{{"d", MetadataValue::dictionary({{"x", "y"}})}}, std::nullopt, R"(["d": ["x": "y"]])"},
        {{{"list", MetadataValue::array({})}}, std::nullopt, R"(["list": []])"},
        // Text from elsewhere can neither end the line nor close the quotes early.
        {{{"k\n\"", "v\r\nforged=1"}}, std::nullopt, R"(["k\n\"": v\r\nforged=1])"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(metadataEntry(row.handler, row.record), row.expected) << row.expected;
    }
}

TEST_F(SinkHubLogHandlerTest, RecordMetadataWinsWithoutChangingTheHandlers) {
    const Metadata own{{"a", "1"}, {"b", "x"}};
    EXPECT_THAT(metadataEntry(own, Metadata{{"a", "2"}}),
                ::testing::AnyOf(R"(["a": 2, "b": x])", R"(["b": x, "a": 2])"));

    SinkHubLogHandler handler("app", SinkHub({makeSink("sink")}), own);
    handler.log(Level::info, "m", Metadata{{"a", "2"}}, "src", "file", "fn", 1);
    EXPECT_EQ(handler.metadata(), own);
}

TEST_F(SinkHubLogHandlerTest, TheOlderFormTakesTheSourceFromTheFolderOfTheFile) {
    const std::vector<std::pair<std::string, std::string>> rows{
        {"Sources/App/main", "App"}, {"main", "n/a"}, {"a/main", "n/a"}, {"/a/b/c.cpp", "b"}};
    const SinkHubLogHandler handler("app", SinkHub({makeSink("sink")}));
    const LogHandler& protocol = handler;
    for (const auto& [file, source] : rows) {
        protocol.log(Level::info, "m", std::nullopt, file, "fn", 1);
    }
    const auto records = received(handler);
    ASSERT_EQ(records.size(), rows.size());
    for (std::size_t index = 0; index < rows.size(); ++index) {
        EXPECT_EQ(records[index].facadeInfo.at("source"), rows[index].second) << rows[index].first;
        EXPECT_EQ(records[index].file, rows[index].first);
    }
}

TEST_F(SinkHubLogHandlerTest, EverySinkSharesOneDateAndThreadButGetsItsOwnLabel) {
    const SinkHubLogHandler handler(
        "com.example.app",
        SinkHub({makeSink("first"), makeSink("second"), makeSink("quiet", LogLevel::error)}));
    handler.log(Level::notice, "m", std::nullopt, "src", "file", "fn", 1);
    const auto records = received(handler);
    // The sinks' own thresholds still apply on their queues.
    ASSERT_EQ(records.size(), 2U);
    std::vector<std::string> labels{records[0].label, records[1].label};
    EXPECT_THAT(labels, ::testing::UnorderedElementsAre("first", "second"));
    EXPECT_EQ(records[0].date, records[1].date);
    EXPECT_EQ(records[0].threadID, static_cast<std::uint64_t>(::gettid()));
    EXPECT_EQ(records[1].threadID, records[0].threadID);
    for (const Received& record : records) {
        EXPECT_EQ(record.facadeInfo.at("label"), "com.example.app");
    }
}

TEST_F(SinkHubLogHandlerTest, AHubWithoutSinksWritesNothing) {
    const SinkHubLogHandler handler("app", SinkHub());
    for (const Level level : logging::allCases) {
        handler.log(level, "m", Metadata{{"a", "1"}}, "src", "file", "fn", 1);
    }
    EXPECT_TRUE(received(handler).empty());
}

TEST_F(SinkHubLogHandlerTest, KeepsItsOwnMetadataLevelAndNoProvider) {
    SinkHubLogHandler handler("app", SinkHub(), {{"a", "1"}});
    EXPECT_EQ(handler.logLevel(), Level::info);
    EXPECT_EQ(handler.subscript("a"), MetadataValue("1"));
    EXPECT_EQ(handler.subscript("missing"), std::nullopt);

    handler.setSubscript("a", MetadataValue("2"));
    handler.setSubscript("b", MetadataValue("x"));
    handler.setSubscript("missing", std::nullopt);
    EXPECT_EQ(handler.metadata(), (Metadata{{"a", "2"}, {"b", "x"}}));
    handler.setSubscript("a", std::nullopt);
    EXPECT_EQ(handler.metadata(), (Metadata{{"b", "x"}}));

    handler.setMetadataProvider(logging::MetadataProvider([] { return Metadata{{"p", "1"}}; }));
    EXPECT_FALSE(handler.metadataProvider().has_value());
}

// The front end's level and the sink's own threshold each let a record at exactly their level
// through.
TEST_F(SinkHubLogHandlerTest, ARecordAtTheHandlersAndTheSinksOwnLevelReachesTheSink) {
    for (const auto& [level, sinkLevel] : namesakes) {
        format = std::make_shared<RecordingFormat>();
        const SinkHub hub({makeSink("sink", sinkLevel)});
        Logger logger("app",
                      [&hub](const std::string& label) { return SinkHubLogHandler(label, hub); });
        logger.setLogLevel(level);
        logger.log(level, "m");
        ASSERT_EQ(hub.flush(10), WaitingResult::success);
        EXPECT_EQ(format->received().size(), 1U) << logging::rawValue(level);
    }
}

TEST_F(SinkHubLogHandlerTest, ALoggerDropsRecordsBelowTheHandlersLevel) {
    const SinkHub hub({makeSink("sink")});
    const Logger logger("app", [&hub](const std::string& label) {
        return SinkHubLogHandler(label, hub, {{"request", "7"}});
    });
    logger.debug("dropped");
    logger.info("kept", Metadata{{"user", "ann"}}, "Billing");
    ASSERT_EQ(hub.flush(10), WaitingResult::success);
    const auto records = format->received();
    ASSERT_EQ(records.size(), 1U);
    EXPECT_EQ(records[0].message, "kept");
    EXPECT_EQ(records[0].facadeInfo.at("label"), "app");
    EXPECT_EQ(records[0].facadeInfo.at("source"), "Billing");
    EXPECT_THAT(
        records[0].facadeInfo.at("metadata"),
        ::testing::AnyOf(R"(["request": 7, "user": ann])", R"(["user": ann, "request": 7])"));
}

} // namespace
} // namespace vorla
