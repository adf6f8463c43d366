#include "extension/config/Config.hpp"
#include "extension/config/Defaults.hpp"
#include "extension/config/tests/TestRoot.hpp"

#include <gtest/gtest.h>

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

} // namespace
} // namespace vorla::extension
