#include "log_facade/LoggingSystem.hpp"
#include "log_facade/NoOpLogHandler.hpp"
#include "log_facade/StreamLogHandler.hpp"
#include "tests/support/BoundedWait.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

namespace vorla::logging {
namespace {

using Metadata = Logger::Metadata;
using ::testing::ExitedWithCode;

const Logger::MetadataProvider requestProvider([] { return Metadata{{"request", "42"}}; });

// The settings can be bootstrapped once per process, so every scenario that bootstraps runs in
// a child process of its own and reports through its exit status.
void expectInChild(void (*scenario)()) {
    EXPECT_EXIT(
        {
            const bounded::Watchdog watchdog("the scenario in the child process");
            scenario();
            std::exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ExitedWithCode(0), "");
}

TEST(LoggingSystemTest, WithoutBootstrapLoggersWriteToStandardOutputAtInfo) {
    const Logger logger("orders");
    const auto* handler = logger.handler().as<StreamLogHandler>();
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->label(), "orders");
    EXPECT_EQ(handler->logLevel(), Logger::Level::info);
    EXPECT_TRUE(handler->metadata().empty());
    EXPECT_EQ(handler->metadataProvider(), std::nullopt);
    EXPECT_EQ(LoggingSystem::metadataProvider(), std::nullopt);

    ::testing::internal::CaptureStdout();
    logger.info("placed", {}, "Shop");
    EXPECT_NE(::testing::internal::GetCapturedStdout().find(" info orders : [Shop] placed\n"),
              std::string::npos);
}

void bootstrapLabelFactoryKeepsEarlierLoggers() {
    const Logger before("before");
    LoggingSystem::bootstrap([](const std::string& label) { return NoOpLogHandler(label); });
    EXPECT_EQ(LoggingSystem::metadataProvider(), std::nullopt);
    EXPECT_NE(Logger("after").handler().as<NoOpLogHandler>(), nullptr);
    EXPECT_NE(before.handler().as<StreamLogHandler>(), nullptr);
}

TEST(LoggingSystemTest, LabelFactoryBootstrapLeavesTheProviderUnset) {
    expectInChild(bootstrapLabelFactoryKeepsEarlierLoggers);
}

void bootstrapWithProviderHandsItOn() {
    std::optional<Logger::MetadataProvider> given;
    LoggingSystem::bootstrap(
        [&given](const std::string& label, const std::optional<Logger::MetadataProvider>& p) {
            given = p;
            return NoOpLogHandler(label);
        },
        requestProvider);
    const Logger logger("orders");
    ASSERT_TRUE(given.has_value());
    EXPECT_EQ(given->get(), requestProvider.get());
    const auto standardError = StreamLogHandler::standardError("errors");
    ASSERT_TRUE(standardError.metadataProvider().has_value());
    EXPECT_EQ(standardError.metadataProvider()->get(), requestProvider.get());
}

TEST(LoggingSystemTest, ProviderBootstrapReachesFactoriesAndStreamHandlers) {
    expectInChild(bootstrapWithProviderHandsItOn);
}

// Loggers made while another thread bootstraps get either the old handler or the new one whole.
void bootstrapWhileThreadsMakeLoggers() {
    std::atomic<bool> bootstrapped = false;
    std::atomic<int> newHandlers = 0;
    std::atomic<int> unexpected = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            // Runs on until it has made a logger after seeing the bootstrap finished, and
            // that one must have the new handler.
            bool sawBootstrap = false;
            for (int i = 0; i < 400 || !sawBootstrap; ++i) {
                sawBootstrap = bootstrapped;
                const Logger logger("worker");
                if (logger.handler().as<NoOpLogHandler>()) {
                    ++newHandlers;
                } else if (sawBootstrap || !logger.handler().as<StreamLogHandler>()) {
                    ++unexpected;
                }
                const auto standardOutput = StreamLogHandler::standardOutput("worker");
                if (const auto provider = standardOutput.metadataProvider()) {
                    unexpected += provider->get() == requestProvider.get() ? 0 : 1;
                }
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    LoggingSystem::bootstrap(
        [](const std::string& label, const std::optional<Logger::MetadataProvider>&) {
            return NoOpLogHandler(label);
        },
        requestProvider);
    bootstrapped = true;
    EXPECT_NE(Logger("main").handler().as<NoOpLogHandler>(), nullptr);
    bounded::join(threads, "the threads that make loggers during the bootstrap");
    EXPECT_EQ(unexpected, 0);
    EXPECT_GE(newHandlers, 8);
}

TEST(LoggingSystemTest, ConcurrentLoggersSeeTheOldOrTheNewFactory) {
    expectInChild(bootstrapWhileThreadsMakeLoggers);
}

void bootstrapLabelFactoryTwice() {
    const auto factory = [](const std::string& label) { return NoOpLogHandler(label); };
    LoggingSystem::bootstrap(factory);
    LoggingSystem::bootstrap(factory);
}

void bootstrapWithoutProviderTwice() {
    const auto factory = [](const std::string& label,
                            const std::optional<Logger::MetadataProvider>&) {
        return NoOpLogHandler(label);
    };
    LoggingSystem::bootstrap(factory, std::nullopt);
    LoggingSystem::bootstrap(factory, std::nullopt);
}

void bootstrapProviderAfterLabelFactory() {
    LoggingSystem::bootstrap([](const std::string& label) { return NoOpLogHandler(label); });
    LoggingSystem::bootstrap(
        [](const std::string& label, const std::optional<Logger::MetadataProvider>&) {
            return NoOpLogHandler(label);
        },
        requestProvider);
}

TEST(LoggingSystemDeathTest, SecondBootstrapStopsTheProcess) {
    EXPECT_DEATH(bootstrapLabelFactoryTwice(), "");
    EXPECT_DEATH(bootstrapWithoutProviderTwice(), "");
    EXPECT_DEATH(bootstrapProviderAfterLabelFactory(), "");
}

} // namespace
} // namespace vorla::logging
