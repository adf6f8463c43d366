#include "extension/config/ConfigLoader.hpp"
#include "extension/config/Defaults.hpp"
#include "extension/config/tests/TestRoot.hpp"
#include "platform/foundation/FoundationError.hpp"

#include <gtest/gtest.h>

namespace vorla::extension {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TestRoot;
using testing::writeFile;

// Each test gets a folder of its own for the configuration file and a profile switch that it
// may create. The profile's values always come from the shared root's preferences folder.
class ConfigLoader : public ::testing::Test {
protected:
    ConfigLoader()
        : folder(TestRoot::shared().path(
              ::testing::UnitTest::GetInstance()->current_test_info()->name())),
          configFile(folder / "config.yaml"), profileSwitch(folder / "profile.plist"),
          paths(foundation::URL::fileURL(configFile.string(), false),
                foundation::URL::fileURL(profileSwitch.string(), false)),
          defaults(paths) {
        fs::create_directories(folder);
        TestRoot::shared().takeSystemLog();
    }

    std::vector<std::string> systemLog() { return TestRoot::shared().takeSystemLog(); }

    std::vector<fs::path> keptAside() const {
        std::vector<fs::path> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().filename().string().starts_with("config.yaml.broken-")) {
                names.push_back(entry.path());
            }
        }
        return names;
    }

    std::string defaultText() const { return makeDefaultConfig(defaults)->toYaml(); }

    fs::path folder;
    fs::path configFile;
    fs::path profileSwitch;
    PathManager paths;
    Defaults defaults;
};

TEST_F(ConfigLoader, AMissingFileIsReplacedByTheDefaults) {
    const auto config = loadConfig(paths);
    EXPECT_EQ(systemLog(), std::vector<std::string>{"debug\tfalling back to default config"});
    EXPECT_EQ(*config, *makeDefaultConfig(defaults));
    EXPECT_EQ(readFile(configFile), defaultText());
    EXPECT_EQ(fs::status(configFile).permissions(), fs::perms::owner_read | fs::perms::owner_write |
                                                        fs::perms::group_read |
                                                        fs::perms::others_read);
}

TEST_F(ConfigLoader, AValidFileIsValidatedButNeverRewritten) {
    std::string text = defaultText();
    text.replace(text.find("maxLogFileCount: 5"), 18, "maxLogFileCount: 0");
    writeFile(configFile, text);
    systemLog();
    const auto config = loadConfig(paths);
    EXPECT_EQ(config->auditLogger->maxLogFileCount, 5);
    EXPECT_EQ(readFile(configFile), text);
    EXPECT_EQ(systemLog(),
              (std::vector<std::string>{"debug\tvalidating config",
                                        "default\t[validation]: maxLogFileCount must be >= 1. "
                                        "Falling back to default (5)"}));
}

TEST_F(ConfigLoader, ABrokenFileIsKeptAsideAndTheDefaultsAreUsedUnvalidated) {
    const std::string broken = "auditLogger: [unclosed\n";
    writeFile(configFile, broken);
    const auto config = loadConfig(paths);
    const auto log = systemLog();
    EXPECT_EQ(*config, *makeDefaultConfig(defaults));
    EXPECT_EQ(readFile(configFile), defaultText());
    const auto kept = keptAside();
    ASSERT_EQ(kept.size(), 1U);
    EXPECT_EQ(readFile(kept[0]), broken);
    ASSERT_EQ(log.size(), 3U);
    EXPECT_TRUE(log[0].starts_with("error\tcould not use existing config " +
                                   paths.configURL().description() + ": "))
        << log[0];
    EXPECT_EQ(log[1], "debug\tfalling back to default config");
    EXPECT_EQ(log[2], "error\tmoved unusable config file to " + kept[0].string());
}

TEST_F(ConfigLoader, KeepingAsideNeverReplacesAnEarlierBrokenFile) {
    for (const char* broken : {"first: broken\n", "second: broken\n"}) {
        writeFile(configFile, broken);
        loadConfig(paths);
    }
    const auto kept = keptAside();
    ASSERT_EQ(kept.size(), 2U);
    std::vector<std::string> contents = {readFile(kept[0]), readFile(kept[1])};
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (std::vector<std::string>{"first: broken\n", "second: broken\n"}));
}

// A stop between writing the defaults and naming them leaves a temporary file: the next start
// removes it, and says so, but never another user's file of such a name.
TEST_F(ConfigLoader, TheNextStartRemovesAnUnfinishedConfigFile) {
    const fs::path ours = folder / ".config.yaml.tmp-AbC123";
    const fs::path theirs = folder / ".config.yaml.tmp-XyZ789";
    writeFile(ours, "half");
    writeFile(theirs, "theirs");
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    }
    systemLog();
    loadConfig(paths);
    const auto log = systemLog();
    EXPECT_FALSE(fs::exists(ours));
    EXPECT_EQ(fs::exists(theirs), asRoot);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "info\tremoved the unfinished file " +
                          foundation::URL::fileURL(ours.string(), false).description());
    EXPECT_EQ(readFile(configFile), defaultText());
}

// A file manager whose moves fail as on a read-only file system.
class UnmovableFiles : public foundation::FileManager {
public:
    void moveItem(const foundation::Folder& folder, std::string_view from,
                  std::string_view) const override {
        throw foundation::FoundationError("could not move " + folder.pathOf(from), EROFS);
    }
};

TEST_F(ConfigLoader, AFileThatCannotBeKeptAsideIsLeftInPlace) {
    writeFile(configFile, "broken: [\n");
    const auto config = loadConfig(paths, UnmovableFiles());
    const auto log = systemLog();
    EXPECT_EQ(*config, *makeDefaultConfig(defaults));
    EXPECT_EQ(readFile(configFile), "broken: [\n");
    ASSERT_EQ(log.size(), 3U);
    EXPECT_TRUE(log[2].starts_with("error\tcould not move unusable config file aside (")) << log[2];
}

// Where nothing can be moved, as on a read-only file system, a missing file has nothing to
// keep: the defaults are written (or fail as writes do), with no word of moving.
TEST_F(ConfigLoader, AMissingFileIsNeverKeptAside) {
    const auto config = loadConfig(paths, UnmovableFiles());
    EXPECT_EQ(systemLog(), std::vector<std::string>{"debug\tfalling back to default config"});
    EXPECT_EQ(*config, *makeDefaultConfig(defaults));
    EXPECT_EQ(readFile(configFile), defaultText());
}

TEST_F(ConfigLoader, AnUnwritableFolderEndsWithTheSavingError) {
    writeFile(folder / "not-a-folder", "");
    const PathManager blocked(
        foundation::URL::fileURL((folder / "not-a-folder/config.yaml").string(), false),
        paths.configurationProfileURL());
    try {
        loadConfig(blocked);
        FAIL() << "wrote into a regular file";
    } catch (const Config::FileErr& error) {
        EXPECT_EQ(error, Config::FileErr::saving(blocked.configURL()));
    }
    // The defaults are released while the error unwinds, which adds a third line.
    const auto log = systemLog();
    ASSERT_GE(log.size(), 2U);
    EXPECT_EQ(log[0], "debug\tfalling back to default config");
    EXPECT_TRUE(log[1].starts_with("error\tcould not write config file: ")) << log[1];
}

TEST_F(ConfigLoader, TheProfileWinsAndTheYamlFileIsNotTouched) {
    writeFile(profileSwitch, "its contents are never read");
    const auto config = loadConfig(paths);
    EXPECT_FALSE(fs::exists(configFile));
    EXPECT_EQ(config->auditLogger->maxLogFileCount, 5);
    const auto log = systemLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "debug\tvalidating profile config");

    writeFile(configFile, "broken: [\n");
    loadConfig(paths);
    EXPECT_EQ(readFile(configFile), "broken: [\n");
    EXPECT_TRUE(keptAside().empty());
}

// A profile or file that another user could have written is not used, and nothing is written
// over it: the defaults serve in memory, with one error that says why.
TEST_F(ConfigLoader, WhatAnotherUserControlsIsNeitherUsedNorWrittenOver) {
    const struct {
        const char* name;
        bool profile;
        mode_t mode;
        uid_t owner;
        const char* reason;
    } rows[] = {
        {"a file open to all", false, 0666, 0, "is writable by group or others (mode 0666)"},
        {"another user's file", false, 0644, 65534, "is owned by user 65534"},
        {"a profile open to all", true, 0666, 0, "is writable by group or others (mode 0666)"},
        {"another user's profile", true, 0644, 65534, "is owned by user 65534"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.owner != 0 && ::geteuid() != 0) {
            continue; // only root can give a file to another user
        }
        fs::remove(profileSwitch);
        std::string text = defaultText();
        text.replace(text.find("maxLogFileCount: 5"), 18, "maxLogFileCount: 9");
        const fs::path& planted = row.profile ? profileSwitch : configFile;
        writeFile(configFile, text);
        writeFile(planted, row.profile ? "<plist/>" : text);
        ::chmod(planted.c_str(), row.mode);
        if (row.owner != 0) {
            ASSERT_EQ(::lchown(planted.c_str(), row.owner, row.owner), 0);
        }
        systemLog();
        const auto config = loadConfig(paths);
        const auto log = systemLog();
        EXPECT_EQ(*config, *makeDefaultConfig(defaults));
        EXPECT_EQ(readFile(configFile), text);
        EXPECT_TRUE(keptAside().empty());
        const std::string what =
            row.profile ? "the managed profile " + paths.configurationProfileURL().description()
                        : "existing config " + paths.configURL().description();
        ASSERT_EQ(log.size(), 1U) << ::testing::PrintToString(log);
        EXPECT_EQ(log[0], "error\tcould not use " + what + ": " + planted.string() + " " +
                              row.reason + "; the default config is used" +
                              (row.profile ? "" : " without being written"));
    }
}

} // namespace
} // namespace vorla::extension
