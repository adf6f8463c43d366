#include "extension/config/Config.hpp"
#include "extension/config/Defaults.hpp"
#include "extension/config/tests/TestRoot.hpp"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorla::extension {
namespace {

using testing::TestRoot;

constexpr const char* templateWarning =
    "default\t[validation]: there must be at least 1 ${variable} block defined in "
    "customLogFormat. Falling back to default (${timestamp} ${username} ${group} ${command} "
    "${args})";
constexpr const char* pathWarning =
    "default\t[validation]: logFilePath must be a valid file path. Falling back to default";
constexpr const char* countWarning =
    "default\t[validation]: maxLogFileCount must be >= 1. Falling back to default (5)";
constexpr const char* sizeWarning =
    "default\t[validation]: maxLogFileSize must be >= 1024. Falling back to default (5242880)";

class Validation : public ::testing::Test {
protected:
    Validation() : defaults(PathManager()), config(makeDefaultConfig(defaults)) {
        TestRoot::shared().takeSystemLog();
    }

    std::vector<std::string> validate() {
        config->validate(defaults);
        return TestRoot::shared().takeSystemLog();
    }

    Defaults defaults;
    std::shared_ptr<Config> config;
};

TEST_F(Validation, TheDefaultsPassUnchanged) {
    const auto before = makeDefaultConfig(defaults);
    EXPECT_TRUE(validate().empty());
    EXPECT_EQ(*config, *before);
}

TEST_F(Validation, ValuesAtTheLimitsPass) {
    struct Row {
        const char* format;
        std::uint8_t count;
        std::uint64_t size;
    };
    for (const Row row : {Row{"$", 1, 1024}, Row{"x $y", 255, 1025}, Row{"${a}", 1, 1u << 30}}) {
        config->auditLogger->customLogFormat = row.format;
        config->auditLogger->maxLogFileCount = row.count;
        config->auditLogger->maxLogFileSize = row.size;
        EXPECT_TRUE(validate().empty()) << row.format;
        EXPECT_EQ(config->auditLogger->customLogFormat, row.format);
        EXPECT_EQ(config->auditLogger->maxLogFileCount, row.count);
        EXPECT_EQ(config->auditLogger->maxLogFileSize, row.size);
    }
    for (const auto format : {Formatter::type::auditd, Formatter::type::custom}) {
        config->auditLogger->outputFormat = format;
        EXPECT_TRUE(validate().empty());
        EXPECT_EQ(config->auditLogger->outputFormat, format);
    }
}

TEST_F(Validation, EveryBadValueIsReplacedWithOneWarningAccessSectionFirst) {
    config->auditLogger->customLogFormat = "{timestamp}";
    config->auditLogger->logFilePath.reset();
    config->auditLogger->maxLogFileCount = 0;
    config->auditLogger->maxLogFileSize = 1023;
    config->accessLogger->maxLogFileCount = 0;
    config->accessLogger->logFilePath.reset();
    // The access section's format has no effect on its JSON records and is not examined.
    config->accessLogger->outputFormat = Formatter::type::custom;

    EXPECT_EQ(validate(), (std::vector<std::string>{pathWarning, countWarning, templateWarning,
                                                    pathWarning, countWarning, sizeWarning}));
    const AuditLogger& audit = *config->auditLogger;
    EXPECT_EQ(audit.customLogFormat, defaults.customLogFormat);
    EXPECT_EQ(audit.logFilePath, defaults.auditLogPath);
    EXPECT_EQ(audit.maxLogFileCount, 5);
    EXPECT_EQ(audit.maxLogFileSize, 5242880U);
    EXPECT_EQ(config->accessLogger->logFilePath, defaults.accessLogPath);
    EXPECT_EQ(config->accessLogger->maxLogFileCount, 5);
    EXPECT_EQ(config->accessLogger->outputFormat, Formatter::type::custom);
}

TEST_F(Validation, InvertedMutingNeedsTargets) {
    config->auditLogger->muting.inverted = true;
    EXPECT_TRUE(validate().empty());
    EXPECT_FALSE(config->auditLogger->muting.inverted);

    config->auditLogger->muting = {true, {{"/usr/bin", MutePath::type::prefix}}};
    EXPECT_TRUE(validate().empty());
    EXPECT_TRUE(config->auditLogger->muting.inverted);
}

// A missing log folder is made by validation and checked as it then stands, so nobody can take
// its name before the log is opened; what another user put there first is a bad value.
TEST_F(Validation, ALogFolderIsMadeOrRefusedInASharedParent) {
    namespace fs = std::filesystem;
    const fs::path shared = TestRoot::shared().path("shared");
    const fs::path logs = shared / "logs";
    const struct {
        const char* name;
        // Sets the log folder up; it stays missing without.
        std::function<void()> plant;
        const char* reason;
    } rows[] = {
        {"missing", [] {}, nullptr},
        {"another user's folder",
         [&] {
             fs::create_directory(logs);
             ASSERT_EQ(::chown(logs.c_str(), 65534, 65534), 0);
         },
         "is owned by user 65534"},
        {"another user's link to root's folder",
         [&] {
             fs::create_directory(shared / "root's");
             fs::create_directory_symlink(shared / "root's", logs);
             ASSERT_EQ(::lchown(logs.c_str(), 65534, 65534), 0);
         },
         "is a symbolic link owned by user 65534"},
    };
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a folder to another user";
    }
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(shared);
        fs::create_directory(shared);
        fs::permissions(shared, static_cast<fs::perms>(01777));
        row.plant();
        const auto configured = foundation::URL::fileURL((logs / "audit.log").string(), false);
        config->accessLogger->logFilePath = configured;
        const auto log = validate();
        if (!row.reason) {
            EXPECT_TRUE(log.empty()) << ::testing::PrintToString(log);
            EXPECT_EQ(config->accessLogger->logFilePath, configured);
            struct stat status {};
            ASSERT_EQ(::lstat(logs.c_str(), &status), 0);
            EXPECT_TRUE(S_ISDIR(status.st_mode));
            EXPECT_EQ(status.st_uid, 0U);
            EXPECT_EQ(status.st_mode & 07777, 0755U);
            continue;
        }
        EXPECT_EQ(config->accessLogger->logFilePath, defaults.accessLogPath);
        ASSERT_EQ(log.size(), 1U) << ::testing::PrintToString(log);
        EXPECT_EQ(log[0], "error\t[validation]: logFilePath " + configured.toPath() +
                              " lies in a folder that cannot be trusted (" + logs.string() + " " +
                              row.reason + "). Falling back to default");
    }
    fs::remove_all(shared);
}

} // namespace
} // namespace vorla::extension
