#include "extension/config/Defaults.hpp"
#include "extension/config/ProfileConfig.hpp"
#include "extension/config/tests/TestRoot.hpp"

#include <gtest/gtest.h>

namespace vorla::extension {
namespace {

using preferences::PropertyListDictionary;
using preferences::PropertyListValue;
using testing::TestRoot;

class ProfileConfig : public ::testing::Test {
protected:
    ProfileConfig() { TestRoot::shared().takeSystemLog(); }

    // Installs a profile whose root dictionary holds `entries` (XML key/value pairs).
    static void installProfile(const std::string& entries) {
        testing::writeFile(
            TestRoot::shared().path("Library/Managed Preferences/com.vorla.client.plist"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
            "<dict>" +
                entries + "</dict></plist>\n");
    }

    // The profile's configuration after validation, with the warnings validation wrote.
    std::pair<std::shared_ptr<Config>, std::vector<std::string>> validated() {
        auto config = readProfileConfig("com.vorla.client");
        config->validate(Defaults(PathManager()));
        return {config, TestRoot::shared().takeSystemLog()};
    }
};

TEST_F(ProfileConfig, AnEmptyProfileFallsBackToTheDefaultsWithWarnings) {
    installProfile("");
    const auto raw = readProfileConfig("com.vorla.client");
    EXPECT_TRUE(raw->auditLogger->enabled);
    EXPECT_TRUE(raw->accessLogger->enabled);
    EXPECT_EQ(raw->auditLogger->customLogFormat, "");
    EXPECT_EQ(raw->auditLogger->outputFormat, Formatter::type::json);
    EXPECT_EQ(raw->auditLogger->muting, Muting{});
    EXPECT_FALSE(raw->compressArchives);

    const auto [config, warnings] = validated();
    const PathManager paths;
    EXPECT_EQ(*config, *makeDefaultConfig(Defaults(paths)));
    // Empty paths fall back too, instead of naming the working directory.
    EXPECT_EQ(warnings.size(), 7U);
    EXPECT_EQ(std::count_if(warnings.begin(), warnings.end(),
                            [](const std::string& line) {
                                return line.find("logFilePath must be a valid file path") !=
                                       std::string::npos;
                            }),
              2);
}

TEST_F(ProfileConfig, ReadsEveryKey) {
    installProfile(R"(
        <key>AuditLoggerEnabled</key><false/>
        <key>AuditLoggerCustomLogFormat</key><string>${command}</string>
        <key>AuditLoggerLogFilePath</key><string>/var/log/a.log</string>
        <key>AuditLoggerOutputFormat</key><string>auditd</string>
        <key>AuditLoggerMaxFileCount</key><integer>255</integer>
        <key>AuditLoggerMaxFileSize</key><integer>1024</integer>
        <key>AuditLoggerMutingInverted</key><true/>
        <key>AuditLoggerMutingTargets</key><array>
          <dict><key>Path</key><string>/usr/bin</string><key>Type</key><string>prefix</string></dict>
          <dict><key>Path</key><string>/a</string><key>Type</key><string>Prefix</string></dict>
          <dict><key>Type</key><string>literal</string></dict>
          <dict><key>Path</key><string></string><key>Type</key><string>literal</string></dict>
        </array>
        <key>AccessLoggerEnabled</key><integer>0</integer>
        <key>AccessLoggerLogFilePath</key><string>/var/log/b.log</string>
        <key>AccessLoggerMaxFileCount</key><integer>1</integer>
        <key>AccessLoggerMaxFileSize</key><integer>9999999999</integer>
        <key>CompressArchives</key><true/>)");
    const auto [config, warnings] = validated();
    EXPECT_TRUE(warnings.empty());
    const AuditLogger& audit = *config->auditLogger;
    EXPECT_FALSE(audit.enabled);
    EXPECT_EQ(audit.customLogFormat, "${command}");
    EXPECT_EQ(audit.logFilePath->toPath(), "/var/log/a.log");
    EXPECT_EQ(audit.outputFormat, Formatter::type::auditd);
    EXPECT_EQ(audit.maxLogFileCount, 255);
    EXPECT_EQ(audit.maxLogFileSize, 1024U);
    EXPECT_EQ(
        audit.muting,
        (Muting{true, {{"/usr/bin", MutePath::type::prefix}, {"", MutePath::type::literal}}}));
    EXPECT_FALSE(config->accessLogger->enabled);
    EXPECT_EQ(config->accessLogger->logFilePath->toPath(), "/var/log/b.log");
    EXPECT_EQ(config->accessLogger->maxLogFileCount, 1);
    EXPECT_EQ(config->accessLogger->maxLogFileSize, 9999999999U);
    EXPECT_TRUE(config->compressArchives);
}

TEST_F(ProfileConfig, ValuesOfAnotherTypeOrOutOfRangeCountAsAbsent) {
    installProfile(R"(
        <key>AuditLoggerEnabled</key><string>false</string>
        <key>AuditLoggerOutputFormat</key><string>JSON</string>
        <key>AuditLoggerMaxFileCount</key><integer>256</integer>
        <key>AuditLoggerMaxFileSize</key><integer>-4096</integer>
        <key>AuditLoggerMutingInverted</key><integer>2</integer>
        <key>AuditLoggerMutingTargets</key><array>
          <dict><key>Path</key><string>/usr/bin</string><key>Type</key><string>prefix</string></dict>
          <dict><key>Path</key><integer>1</integer><key>Type</key><string>prefix</string></dict>
        </array>
        <key>AccessLoggerMaxFileCount</key><integer>-1</integer>
        <key>AccessLoggerMaxFileSize</key><real>4096.5</real>
        <key>CompressArchives</key><string>yes</string>)");
    const auto [config, warnings] = validated();
    EXPECT_TRUE(config->auditLogger->enabled);
    EXPECT_EQ(config->auditLogger->outputFormat, Formatter::type::json);
    EXPECT_EQ(config->auditLogger->maxLogFileCount, 5);
    EXPECT_EQ(config->auditLogger->maxLogFileSize, 5242880U);
    EXPECT_EQ(config->auditLogger->muting, Muting{});
    EXPECT_EQ(config->accessLogger->maxLogFileCount, 5);
    EXPECT_EQ(config->accessLogger->maxLogFileSize, 5242880U);
    EXPECT_FALSE(config->compressArchives);
    // No warning for the format: "JSON" simply reads as json.
    for (const auto& line : warnings) {
        EXPECT_EQ(line.find("allowedFormatters"), std::string::npos) << line;
    }
}

// Numbers bridge as the platform's preferences hand them over: integral reals and booleans
// read as integers, reals 0 and 1 as booleans; nothing else does.
TEST_F(ProfileConfig, NumbersOfEveryPropertyListTypeBridge) {
    const struct {
        const char* count;
        const char* enabled;
        int expectedCount;
        bool expectedEnabled;
    } rows[] = {
        {"<real>10</real>", "<real>0</real>", 10, false},
        {"<real>10.0</real>", "<real>1.0</real>", 10, true},
        {"<true/>", "<integer>0</integer>", 1, false},
        {"<integer>3</integer>", "<false/>", 3, false},
        {"<real>10.5</real>", "<real>0.5</real>", 5, true},
        {"<real>-3</real>", "<real>2</real>", 5, true},
        {"<real>1e300</real>", "<string>0</string>", 5, true},
        {"<string>7</string>", "<real>nan</real>", 5, true},
    };
    for (const auto& row : rows) {
        installProfile(std::string("<key>AuditLoggerMaxFileCount</key>") + row.count +
                       "<key>AuditLoggerEnabled</key>" + row.enabled);
        const auto [config, warnings] = validated();
        EXPECT_EQ(config->auditLogger->maxLogFileCount, row.expectedCount) << row.count;
        EXPECT_EQ(config->auditLogger->enabled, row.expectedEnabled) << row.enabled;
    }
}

TEST_F(ProfileConfig, MutePathsKeepTheirOrderAndSkipUnusableEntries) {
    const auto entry = [](std::optional<std::string> path, std::optional<std::string> type) {
        PropertyListDictionary dictionary;
        if (path) {
            dictionary["Path"] = PropertyListValue{*path};
        }
        if (type) {
            dictionary["Type"] = PropertyListValue{*type};
        }
        return dictionary;
    };
    EXPECT_EQ(
        mutePathsFromProfile({entry("/b", "literal"), entry("/x", "prefiX"),
                              entry(std::nullopt, "literal"), entry("/y", std::nullopt),
                              entry("/a", "prefix"), entry("/z", " prefix")}),
        (std::vector<MutePath>{{"/b", MutePath::type::literal}, {"/a", MutePath::type::prefix}}));
}

} // namespace
} // namespace vorla::extension
