#include "extension/ErrorLogFormatter.hpp"
#include "extension/Logger.hpp"
#include "extension/tests/ExtensionSandbox.hpp"
#include "platform/dispatch/Dispatch.hpp"
#include "tests/support/BoundedWait.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace vorla::extension {
namespace {

using namespace std::chrono_literals;
using foundation::URL;

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox::Root::shared();
        for (const char* name : {"audit.log", "access.log", "error.log"}) {
            std::filesystem::remove(sandbox::supportFile(name));
        }
        config = sandbox::defaultConfig();
        oslogMark = sandbox::oslogMark();
    }

    std::shared_ptr<Logger> makeLogger() {
        return std::make_shared<Logger>(sandbox::pathManager(), *config, sandbox::dateFormatter(),
                                        std::make_shared<VorlaRotationDelegate>());
    }

    std::shared_ptr<Config> config;
    std::size_t oslogMark = 0;
};

TEST(ErrorLogFormatterTest, WritesOnlyTheUtcDateAndTheMessage) {
    const ErrorLogFormatter formatter(sandbox::dateFormatter());
    const foundation::Date date{std::chrono::sys_days{2024y / 5 / 1} + 10h + 123ms};
    for (const LogLevel level : {LogLevel::trace, LogLevel::info, LogLevel::critical}) {
        EXPECT_EQ(formatter.formatMessage(level, "3 lines dropped", "tag", "handle", "client.cpp",
                                          42, {{"source", ""}}, "com.vorla.extension", date, 7),
                  "2024-05-01T10:00:00.123Z 3 lines dropped");
    }
}

TEST_F(LoggerTest, CreatesAllThreeFilesWhateverTheEnabledFlags) {
    config->auditLogger->enabled = false;
    config->accessLogger->enabled = false;
    const auto logger = makeLogger();
    for (const char* name : {"audit.log", "access.log", "error.log"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(sandbox::supportFile(name))) << name;
    }
    EXPECT_EQ(std::filesystem::status(sandbox::supportFile("audit.log")).permissions(),
              std::filesystem::perms(0640));
}

TEST_F(LoggerTest, ErrorLinesAreQueuedAndLaidOutWithTheDate) {
    const auto logger = makeLogger();
    logger->logError("first");
    logger->logError("second with \"quotes\"");
    ASSERT_TRUE(logger->flushErrors(5));
    const auto lines = sandbox::crlfLines(sandbox::supportFile("error.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(sandbox::errorLineMessage(lines[0]), "first");
    EXPECT_EQ(sandbox::errorLineMessage(lines[1]), "second with \"quotes\"");
}

TEST_F(LoggerTest, ASinkThatCannotBeCreatedNamesItsLabel) {
    const auto folder = sandbox::Root::shared().path() / "a-folder";
    std::filesystem::create_directories(folder);
    struct Case {
        bool audit;
        const char* label;
        const char* message;
    };
    for (const Case& row :
         {Case{true, "com.vorla.audit", "could not create audit logger. error: "},
          Case{false, "com.vorla.access", "could not create access logger. error: "}}) {
        SCOPED_TRACE(row.label);
        config = sandbox::defaultConfig();
        AccessLogger& section = row.audit ? *config->auditLogger : *config->accessLogger;
        section.logFilePath = URL::fileURL(folder.string());
        oslogMark = sandbox::oslogMark();
        try {
            makeLogger();
            ADD_FAILURE() << "no error";
        } catch (const Logger::InitErr& error) {
            EXPECT_EQ(error.kind(), Logger::InitErr::Kind::create);
            EXPECT_EQ(error.label(), row.label);
            EXPECT_EQ(sandbox::oslogTexts("error", oslogMark),
                      std::vector<std::string>{row.message + error.err()});
        }
    }
}

TEST_F(LoggerTest, AMissingDelegateIsRefused) {
    try {
        Logger(sandbox::pathManager(), *config, sandbox::dateFormatter(), nullptr);
        ADD_FAILURE() << "no error";
    } catch (const Logger::InitErr& error) {
        EXPECT_EQ(error.kind(), Logger::InitErr::Kind::delegate);
        EXPECT_STREQ(error.what(), "delegate is null");
    }
}

TEST_F(LoggerTest, RotationStepsReachTheSystemLogInOrder) {
    config->auditLogger->maxLogFileSize = 1024;
    config->auditLogger->maxLogFileCount = 1;
    config->compressArchives = true;
    const auto logger = makeLogger();
    const std::string line(600, 'x');
    for (int i = 0; i < 8; ++i) {
        logger->audit().log(LogLevel::info, line);
    }
    bounded::run("the archive compressions", dispatch::drain);

    const auto infos = sandbox::oslogTexts("info", oslogMark);
    ASSERT_FALSE(infos.empty());
    EXPECT_EQ(infos.front(), "log rotate action happened");
    const std::string audit =
        URL::fileURL(sandbox::supportFile("audit.log").string()).description();
    int gzipped = 0;
    for (const std::string& text : infos) {
        if (text.starts_with("gzipped ")) {
            ++gzipped;
            EXPECT_TRUE(text.starts_with("gzipped " + audit + ".")) << text;
            EXPECT_NE(text.find(" into " + audit + "."), std::string::npos) << text;
        } else {
            EXPECT_TRUE(text == "log rotate action happened" ||
                        text == "old log removal happened" || text == "obsolate gzip was rotated")
                << text;
        }
    }
    EXPECT_GT(gzipped, 0);
    EXPECT_NE(std::find(infos.begin(), infos.end(), "obsolate gzip was rotated"), infos.end());
}

} // namespace
} // namespace vorla::extension
