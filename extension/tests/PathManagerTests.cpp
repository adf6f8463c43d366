#include "extension/PathError.hpp"
#include "extension/PathManager.hpp"
#include "extension/config/tests/TestRoot.hpp"
#include "platform/foundation/FoundationError.hpp"

#include <gtest/gtest.h>

namespace vorla::extension {
namespace {

using testing::TestRoot;

TEST(PathManager, FixedLocationsLieUnderTheRoot) {
    const PathManager paths;
    const std::string root = TestRoot::shared().path().string();
    const std::string support = root + "/Library/Application Support/Vorla";
    EXPECT_EQ(paths.vorlaPath().toPath(), support);
    EXPECT_TRUE(paths.vorlaPath().hasDirectoryPath());
    EXPECT_EQ(paths.vorlaPath().description(),
              "file://" + root + "/Library/Application%20Support/Vorla/");
    EXPECT_EQ(paths.configURL().toPath(), support + "/config.yaml");
    EXPECT_EQ(paths.auditLogURL().toPath(), support + "/audit.log");
    EXPECT_EQ(paths.accessLogURL().toPath(), support + "/access.log");
    EXPECT_EQ(paths.errorLogURL().toPath(), support + "/error.log");
    EXPECT_EQ(paths.configurationProfileURL().toPath(),
              root + "/Library/Managed Preferences/com.vorla.client.plist");
    EXPECT_FALSE(paths.configurationProfileURL().hasDirectoryPath());
    EXPECT_EQ(paths.auditLabel(), "com.vorla.audit");
    EXPECT_EQ(paths.accessLabel(), "com.vorla.access");
    EXPECT_EQ(paths.errorLabel(), "com.vorla.extension");
    EXPECT_EQ(paths.configurationProfileBundleId(), "com.vorla.client");
    EXPECT_STREQ(PathManager::consoleLabel, "com.vorla.system");
}

TEST(PathManager, OverridesReplaceOnlyTheirOwnLocation) {
    const auto config = foundation::URL::fileURL("/etc/vorla.yaml", false);
    const auto profile = foundation::URL::fileURL("/etc/profile.plist", false);
    const PathManager paths(config, profile);
    EXPECT_EQ(paths.configURL(), config);
    EXPECT_EQ(paths.configurationProfileURL(), profile);
    EXPECT_EQ(paths.auditLogURL(), PathManager().auditLogURL());
}

TEST(PathManager, EnsureDirectoriesCreatesTheSupportFolderOnce) {
    const PathManager paths;
    paths.ensureDirectories();
    EXPECT_TRUE(std::filesystem::is_directory(paths.vorlaPath().toPath()));
    EXPECT_NO_THROW(paths.ensureDirectories());
}

TEST(PathManager, AFileInPlaceOfTheFolderGivesItsPlainPath) {
    // A regular file where a parent folder should be: the support folder cannot exist.
    const auto blocked = TestRoot::shared().path("Library");
    std::filesystem::remove_all(blocked);
    testing::writeFile(blocked, "");
    try {
        PathManager().ensureDirectories();
        ADD_FAILURE() << "created a folder below a regular file";
    } catch (const PathError& error) {
        EXPECT_EQ(error.kind(), PathError::Kind::createDirectory);
        EXPECT_EQ(error.path(), PathManager().vorlaPath().toPath());
        EXPECT_NE(error.path().find("Application Support"), std::string::npos);
    }
    std::filesystem::remove(blocked);
}

// A file manager that cannot change a folder's permissions, as on a read-only mount.
class FixedPermissions : public foundation::FileManager {
public:
    foundation::Folder openFolder(const foundation::URL& url,
                                  foundation::Folder::Options options) const override {
        if (options.tightenLast) {
            throw foundation::FoundationError("could not set the permissions of " + url.toPath(),
                                              EROFS);
        }
        return FileManager::openFolder(url, options);
    }
};

// A support folder open to others that cannot be closed says why before the folder's error;
// one that failed for any other reason keeps to the folder's path alone.
TEST(PathManager, AFolderThatCannotBeTightenedSaysWhy) {
    const PathManager paths;
    const std::string support = paths.vorlaPath().toPath();
    const std::string why = "error\tthe support folder " + support + " cannot be used: " + support +
                            " is writable by group or others (mode ";
    const std::string failure = ") and could not be tightened: could not set the permissions "
                                "of " +
                                support;
    const struct {
        const char* name;
        std::filesystem::perms mode;
        std::vector<std::string> log;
    } rows[] = {
        {"sticky and open to all",
         static_cast<std::filesystem::perms>(01777),
         {why + "1777" + failure}},
        {"open to all", static_cast<std::filesystem::perms>(0777), {why + "0777" + failure}},
        {"closed already", static_cast<std::filesystem::perms>(0755), {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(TestRoot::shared().path("Library"));
        paths.ensureDirectories();
        std::filesystem::permissions(support, row.mode);
        TestRoot::shared().takeSystemLog();
        EXPECT_THROW(paths.ensureDirectories(FixedPermissions()), PathError);
        EXPECT_EQ(TestRoot::shared().takeSystemLog(), row.log);
    }
    std::filesystem::remove_all(TestRoot::shared().path("Library"));
}

} // namespace
} // namespace vorla::extension
