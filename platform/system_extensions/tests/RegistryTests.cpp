#include "platform/foundation/tests/TemporaryFolder.hpp"
#include "platform/system_extensions/Registry.hpp"
#include "platform/system_extensions/tests/FolderSyncFailure.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

using vorla::system_extensions::ProcessIdentity;
using vorla::system_extensions::Registry;
using vorla::system_extensions::RegistryRecord;
using vorla::testing::TemporaryFolder;

TEST(Registry, AMissingFileIsAnEmptyListWithoutAComplaint) {
    TemporaryFolder folder;
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(Registry(folder.path("none/registry.json")).load().empty());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(Registry, SavesAndLoadsRecordsInOrder) {
    TemporaryFolder folder;
    const Registry registry(folder.path("Library/SystemExtensions/registry.json"));
    const mode_t before = ::umask(0777);
    registry.save({{{"b.first", true, false}, ProcessIdentity{42, 7, 501}},
                   {{"a.second", false, true}, std::nullopt}});
    ::umask(before);

    const auto records = registry.load();
    ASSERT_EQ(records.size(), 2U);
    EXPECT_EQ(records[0].properties.bundleIdentifier, "b.first");
    EXPECT_TRUE(records[0].properties.isEnabled);
    EXPECT_EQ(records[0].process, (ProcessIdentity{42, 7, 501}));
    EXPECT_EQ(records[1].properties.bundleIdentifier, "a.second");
    EXPECT_TRUE(records[1].properties.isAwaitingUserApproval);
    EXPECT_EQ(records[1].process, std::nullopt);

    const auto status = std::filesystem::status(registry.path());
    EXPECT_EQ(status.permissions(), std::filesystem::perms(0644));
    for (const char* made : {"Library", "Library/SystemExtensions"}) {
        EXPECT_EQ(std::filesystem::status(folder.path(made)).permissions(),
                  std::filesystem::perms(0755));
    }
    // Only the registry is left in its folder: no temporary file survives the replacement.
    const auto entries =
        std::distance(std::filesystem::directory_iterator(folder.path("Library/SystemExtensions")),
                      std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1);
}

TEST(Registry, ABrokenFileIsReportedAndTakenAsEmpty) {
    const char* broken[] = {
        "not json",
        "{\"bundleIdentifier\": \"x\"}",
        "[1, 2]",
        "[{\"bundleIdentifier\": 7}]",
        "[{\"bundleIdentifier\": \"x\", \"pid\": -3}]",
        "[{\"bundleIdentifier\": \"x\", \"pid\": 0, \"startTime\": 3, \"uid\": 0}]",
        "[{\"bundleIdentifier\": \"x\", \"pid\": 2147483648}]",
        "[{\"bundleIdentifier\": \"x\", \"pid\": 9, \"startTime\": 3, \"uid\": 4294967296}]",
        "[{\"bundleIdentifier\": \"x\", \"isEnabled\": \"yes\"}]",
        "",
    };
    for (const char* text : broken) {
        TemporaryFolder folder;
        const Registry registry(folder.write("registry.json", text));
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(registry.load().empty()) << text;
        const std::string message = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(message.find(registry.path()), std::string::npos) << text;
        EXPECT_NE(message.find("taken as empty"), std::string::npos) << text;
    }
}

// A process id alone, or without its user, could name any later process: it names none.
TEST(Registry, LeftOutKeysTakeTheirDefaults) {
    for (const char* process :
         {"", ", \"pid\": 9", ", \"pid\": 9, \"startTime\": 3", ", \"pid\": 9, \"uid\": 0",
          ", \"pid\": null, \"startTime\": 3, \"uid\": 0"}) {
        TemporaryFolder folder;
        const Registry registry(folder.write("registry.json", "[{\"bundleIdentifier\": \"x\"" +
                                                                  std::string(process) + "}]"));
        const auto records = registry.load();
        ASSERT_EQ(records.size(), 1U) << process;
        EXPECT_FALSE(records[0].properties.isEnabled);
        EXPECT_FALSE(records[0].properties.isAwaitingUserApproval);
        EXPECT_EQ(records[0].process, std::nullopt) << process;
    }
}

TEST(Registry, AnUnwritableLocationThrowsNamingTheFile) {
    TemporaryFolder folder;
    folder.write("blocker", "a regular file where a folder should be");
    const Registry blocked(folder.path("blocker/registry.json"));
    EXPECT_THROW(blocked.save({}), std::runtime_error);

    // A folder in the registry's place cannot be replaced by a file.
    const Registry registry(folder.path("registry.json"));
    std::filesystem::create_directory(registry.path());
    try {
        registry.save({});
        ADD_FAILURE() << "saving over a folder succeeded";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(registry.path()), std::string::npos);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path("")),
                            std::filesystem::directory_iterator()),
              2); // no temporary file left behind
}

// A list counts as saved only once its folder's synchronisation has put the new name on storage.
TEST(Registry, AFolderSynchronisationThatFailsFailsTheSave) {
    TemporaryFolder folder;
    const Registry registry(folder.path("registry.json"),
                            std::make_shared<vorla::testing::FolderSyncFailure>());
    try {
        registry.save({});
        ADD_FAILURE() << "a save whose folder did not reach storage succeeded";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(registry.path()), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("Input/output error"), std::string::npos);
    }
}
