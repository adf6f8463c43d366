#include "platform/foundation/Folder.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/Trust.hpp"
#include "platform/foundation/tests/TemporaryFolder.hpp"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorla::foundation {
namespace {

constexpr uid_t nobody = 65534;

// What opening gave: "trusted", the reason of an UntrustedError, or "errno <n>".
std::string outcome(const std::function<void()>& open) {
    try {
        open();
        return "trusted";
    } catch (const UntrustedError& error) {
        return error.what();
    } catch (const FoundationError& error) {
        return "errno " + std::to_string(error.code());
    }
}

struct Planted {
    const char* name;
    // Builds what the row needs in the folder `at` (one that passes the rule).
    std::function<void(const std::string& at)> plant;
    // Opened as a folder, or with a file name as a file.
    const char* open;
    bool asFile;
    // "trusted", "errno <n>", or a text the reason contains after the folder's path.
    const char* expected;
    bool needsRoot;
};

void folder(const std::string& path, mode_t mode, uid_t owner = 0) {
    std::filesystem::create_directory(path);
    ::chmod(path.c_str(), mode);
    if (owner != 0 && ::lchown(path.c_str(), owner, owner) != 0) {
        FAIL() << "chown " << path;
    }
}

void file(const std::string& path, mode_t mode, uid_t owner = 0) {
    std::ofstream(path) << "x";
    ::chmod(path.c_str(), mode);
    if (owner != 0 && ::lchown(path.c_str(), owner, owner) != 0) {
        FAIL() << "chown " << path;
    }
}

void link(const std::string& target, const std::string& path, uid_t owner = 0) {
    std::filesystem::create_symlink(target, path);
    if (owner != 0 && ::lchown(path.c_str(), owner, owner) != 0) {
        FAIL() << "chown " << path;
    }
}

// Every way root could be handed something another user controls, and the set-ups that are
// sound. Rows with another owner need root to plant them.
TEST(TrustTest, WalksOnlyThroughWhatRootAloneControls) {
    const Planted rows[] = {
        {"own folder", [](auto& at) { folder(at + "/d", 0755); }, "d", false, "trusted", false},
        {"open to all", [](auto& at) { folder(at + "/d", 0777); }, "d", false,
         "/d is writable by group or others (mode 0777)", false},
        {"open to the group", [](auto& at) { folder(at + "/d", 0775); }, "d", false, "(mode 0775)",
         false},
        {"sticky like /tmp", [](auto& at) { folder(at + "/d", 01777); }, "d", false, "trusted",
         false},
        {"another user's", [](auto& at) { folder(at + "/d", 0755, nobody); }, "d", false,
         "/d is owned by user 65534", true},
        {"another user's in a sticky folder",
         [](auto& at) {
             folder(at + "/t", 01777);
             folder(at + "/t/d", 0700, nobody);
         },
         "t/d", false, "/t/d is owned by user 65534", true},
        {"a loose parent",
         [](auto& at) {
             folder(at + "/p", 0777);
             folder(at + "/p/d", 0755);
         },
         "p/d", false, "/p is writable", false},
        {"root's link", [](auto& at) { folder(at + "/d", 0755), link("d", at + "/l"); }, "l", false,
         "trusted", false},
        {"another user's link",
         [](auto& at) { folder(at + "/d", 0755), link("d", at + "/l", nobody); }, "l", false,
         "/l is a symbolic link owned by user 65534", true},
        {"root's link into a loose folder",
         [](auto& at) { folder(at + "/d", 0777), link(at + "/d", at + "/l"); }, "l", false,
         "/d is writable", false},
        {"a link loop", [](auto& at) { link("b", at + "/a"), link("a", at + "/b"); }, "a", false,
         "errno 40", false},
        {"a file in the way", [](auto& at) { file(at + "/f", 0644); }, "f/d", false, "errno 20",
         false},
        {"own file", [](auto& at) { file(at + "/f", 0644); }, "f", true, "trusted", false},
        {"a file open to all", [](auto& at) { file(at + "/f", 0666); }, "f", true,
         "/f is writable by group or others (mode 0666)", false},
        {"another user's file", [](auto& at) { file(at + "/f", 0644, nobody); }, "f", true,
         "/f is owned by user 65534", true},
        {"root's link to a file", [](auto& at) { file(at + "/f", 0644), link("f", at + "/l"); },
         "l", true, "trusted", false},
        {"another user's link to root's file",
         [](auto& at) { file(at + "/f", 0600), link("f", at + "/l", nobody); }, "l", true,
         "/l is a symbolic link owned by user 65534", true},
        {"a FIFO", [](auto& at) { ::mkfifo((at + "/f").c_str(), 0600); }, "f", true, "errno 22",
         false},
        {"nothing", [](auto&) {}, "f", true, "errno 2", false},
    };
    for (const Planted& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.needsRoot && ::geteuid() != 0) {
            continue; // only root can give a file to another user
        }
        const vorla::testing::TemporaryFolder root;
        row.plant(root.path());
        const std::string path = root.path(row.open);
        const std::string result = outcome([&] {
            if (row.asFile) {
                openTrustedFile(path);
            } else {
                Folder::open(path, {});
            }
        });
        EXPECT_NE(result.find(row.expected), std::string::npos) << result;
    }
}

TEST(TrustTest, MakesMissingFoldersAndTightensOnlyTheLastOfItsOwn) {
    const vorla::testing::TemporaryFolder root;
    const mode_t previous = ::umask(0);
    Folder::open(root.path("a/b"), {.create = true});
    ::umask(previous);
    EXPECT_EQ(std::filesystem::status(root.path("a/b")).permissions(),
              std::filesystem::perms(0755));

    folder(root.path("loose"), 0777);
    folder(root.path("loose/last"), 0777);
    EXPECT_NE(outcome([&] {
                  Folder::open(root.path("loose/last"), {.tightenLast = true});
              }).find("/loose is writable"),
              std::string::npos);
    const Folder last = Folder::open(root.path("loose"), {.tightenLast = true});
    EXPECT_EQ(last.tightenedFrom(), std::optional<std::uint16_t>(0777));
    EXPECT_EQ(std::filesystem::status(root.path("loose")).permissions(),
              std::filesystem::perms(0755));
    EXPECT_EQ(Folder::open(root.path("loose"), {.tightenLast = true}).tightenedFrom(),
              std::nullopt);
}

} // namespace
} // namespace vorla::foundation
