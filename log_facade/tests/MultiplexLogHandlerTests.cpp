#include "log_facade/MultiplexLogHandler.hpp"
#include "log_facade/NoOpLogHandler.hpp"
#include "log_facade/tests/RecordingLogHandler.hpp"

#include <gtest/gtest.h>

namespace vorla::logging {
namespace {

using testing::RecordingLogHandler;
using Level = LogHandler::Level;
using Metadata = LogHandler::Metadata;
using Provider = LogHandler::MetadataProvider;

RecordingLogHandler withMetadata(Metadata metadata, std::optional<Provider> provider = {}) {
    RecordingLogHandler handler;
    handler.setMetadata(std::move(metadata));
    handler.setMetadataProvider(std::move(provider));
    return handler;
}

Provider providing(Metadata metadata) {
    return Provider([metadata] { return metadata; });
}

TEST(MultiplexLogHandlerTest, FansOutToHandlersAtOrBelowTheRecordLevel) {
    const RecordingLogHandler atWarning(Level::warning);
    const RecordingLogHandler atDebug(Level::debug);
    MultiplexLogHandler multiplex({atWarning, atDebug});
    EXPECT_EQ(multiplex.logLevel(), Level::debug);

    multiplex.log(Level::info, "m", Metadata{{"a", "1"}}, "Src", "f", "fn", 1);
    EXPECT_TRUE(atWarning.records().empty());
    ASSERT_EQ(atDebug.records().size(), 1u);
    EXPECT_EQ(atDebug.records()[0].source, "Src");
    EXPECT_EQ(atDebug.records()[0].metadata, (Metadata{{"a", "1"}}));

    multiplex.setLogLevel(Level::error);
    multiplex.log(Level::warning, "m", std::nullopt, "Src", "f", "fn", 1);
    EXPECT_EQ(multiplex.logLevel(), Level::error);
    EXPECT_TRUE(atWarning.records().empty());
    EXPECT_EQ(atDebug.records().size(), 1u);
}

// A handler whose level is not above the record's gets it, at its own level too.
TEST(MultiplexLogHandlerTest, ARecordAtAHandlersOwnLevelReachesIt) {
    const struct {
        Level record;
        std::size_t atWarning, atDebug;
    } rows[] = {{Level::trace, 0, 0}, {Level::debug, 0, 1}, {Level::warning, 1, 1}};
    for (const auto& row : rows) {
        const RecordingLogHandler atWarning(Level::warning);
        const RecordingLogHandler atDebug(Level::debug);
        const MultiplexLogHandler multiplex({atWarning, atDebug});
        multiplex.log(row.record, "m", std::nullopt, "Src", "f", "fn", 1);
        EXPECT_EQ(atWarning.records().size(), row.atWarning) << logging::rawValue(row.record);
        EXPECT_EQ(atDebug.records().size(), row.atDebug) << logging::rawValue(row.record);
    }
}

TEST(MultiplexLogHandlerTest, MergedMetadataLetsLaterContributionsWin) {
    const MultiplexLogHandler multiplex(
        {withMetadata({{"k", "first"}, {"own", "1"}}, providing({{"p", "first"}})),
         withMetadata({{"k", "second"}, {"p", "own of second"}})},
        providing({{"m", "multiplexer"}}));
    EXPECT_EQ(
        multiplex.metadata(),
        (Metadata{{"k", "second"}, {"own", "1"}, {"p", "own of second"}, {"m", "multiplexer"}}));
    EXPECT_EQ(multiplex.subscript("k"), LogHandler::MetadataValue("first"));
    EXPECT_EQ(multiplex.subscript("m"), std::nullopt);
}

TEST(MultiplexLogHandlerTest, WritesReachEveryHandler) {
    MultiplexLogHandler multiplex({RecordingLogHandler(), RecordingLogHandler()});
    multiplex.setMetadata({{"a", "1"}});
    multiplex.setSubscript("b", LogHandler::MetadataValue("2"));
    multiplex.setSubscript("absent", std::nullopt);
    multiplex.setSubscript("a", std::nullopt);
    EXPECT_EQ(multiplex.metadata(), (Metadata{{"b", "2"}}));
}

TEST(MultiplexLogHandlerTest, ProviderCombinesHandlersAndOwn) {
    const Provider own = providing({{"own", "1"}});
    const Provider handlers = providing({{"handler", "1"}, {"own", "from handler"}});

    const struct {
        const char* name;
        MultiplexLogHandler multiplex;
        std::optional<Metadata> expected;
    } cases[] = {
        {"none anywhere", MultiplexLogHandler({RecordingLogHandler(), RecordingLogHandler()}),
         std::nullopt},
        {"own, one handler", MultiplexLogHandler({RecordingLogHandler()}, own),
         Metadata{{"own", "1"}}},
        {"own, two handlers",
         MultiplexLogHandler({RecordingLogHandler(), RecordingLogHandler()}, own),
         Metadata{{"own", "1"}}},
        {"handler's then own", MultiplexLogHandler({withMetadata({}, handlers)}, own),
         Metadata{{"handler", "1"}, {"own", "1"}}},
        {"handler's alone", MultiplexLogHandler({withMetadata({}, handlers), NoOpLogHandler()}),
         Metadata{{"handler", "1"}, {"own", "from handler"}}},
    };
    for (const auto& testCase : cases) {
        const auto provider = testCase.multiplex.metadataProvider();
        ASSERT_EQ(provider.has_value(), testCase.expected.has_value()) << testCase.name;
        if (provider) {
            EXPECT_EQ(provider->get(), *testCase.expected) << testCase.name;
        }
    }
}

TEST(MultiplexLogHandlerTest, ProviderWriteReachesHandlersButNotItsOwn) {
    MultiplexLogHandler multiplex({RecordingLogHandler(), RecordingLogHandler()},
                                  providing({{"own", "1"}}));
    multiplex.setMetadataProvider(providing({{"new", "1"}}));
    EXPECT_EQ(multiplex.metadataProvider()->get(), (Metadata{{"new", "1"}, {"own", "1"}}));
}

} // namespace
} // namespace vorla::logging
