#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/tests/TemporaryFolder.hpp"

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Temporary names are random so that nobody can take them first. To plant something under
// the name a file manager will draw, this program takes the place of the system's random
// source: the bytes queued here come first, the kernel's after them.
std::mutex randomMutex;
std::deque<unsigned char> queuedRandom;

} // namespace

extern "C" ssize_t getrandom(void* buffer, size_t length, unsigned int flags) {
    {
        const std::lock_guard lock(randomMutex);
        if (queuedRandom.size() >= length) {
            auto* bytes = static_cast<unsigned char*>(buffer);
            for (size_t index = 0; index < length; ++index) {
                bytes[index] = queuedRandom.front();
                queuedRandom.pop_front();
            }
            return static_cast<ssize_t>(length);
        }
    }
    return ::syscall(SYS_getrandom, buffer, length, flags);
}

namespace vorla::foundation {
namespace {

constexpr uid_t nobody = 65534;

// The file manager's next temporary names for "log": ".log.tmp-AAAAAA", then ".log.tmp-BBBBBB".
void drawNamesAThenB() {
    const std::lock_guard lock(randomMutex);
    queuedRandom.assign(6, 0);
    queuedRandom.insert(queuedRandom.end(), 6, 1);
}

// Whatever stands under the temporary name first, the new file is a file of its own: nothing
// planted there is written through, taken over or given the final name.
TEST(NewFileTest, NothingPlantedAtTheTemporaryNameIsWrittenThrough) {
    const vorla::testing::TemporaryFolder outside;
    const std::string victim = outside.write("victim", "precious", std::filesystem::perms(0600));
    const std::string planted = ".log.tmp-AAAAAA";
    const struct {
        const char* name;
        std::function<void(const std::string& path)> plant;
        bool needsRoot;
    } rows[] = {
        {"another user's file",
         [](const std::string& path) {
             std::ofstream(path) << "theirs";
             ::chmod(path.c_str(), 0666);
             ASSERT_EQ(::chown(path.c_str(), nobody, nobody), 0);
         },
         true},
        {"a hard link to root's file",
         [&victim](const std::string& path) { ASSERT_EQ(::link(victim.c_str(), path.c_str()), 0); },
         false},
        {"a link to root's file",
         [&victim](const std::string& path) { std::filesystem::create_symlink(victim, path); },
         false},
        {"a folder", [](const std::string& path) { std::filesystem::create_directory(path); },
         false},
    };
    const FileManager& files = *FileManager::defaultManager();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.needsRoot && ::geteuid() != 0) {
            continue; // only root can give a file to another user
        }
        const vorla::testing::TemporaryFolder root;
        row.plant(root.path(planted));
        struct stat before {};
        ASSERT_EQ(::lstat(root.path(planted).c_str(), &before), 0);
        const std::string contents = S_ISREG(before.st_mode) ? root.read(planted) : "";
        const Folder folder = Folder::open(root.path(), {});
        drawNamesAThenB();
        files.createFile(folder, "log", "new", 0640, false);

        const FileAttributes log = files.attributesOfItem(folder, "log");
        EXPECT_TRUE(log.isRegularFile());
        EXPECT_EQ(log.owner, ::geteuid());
        EXPECT_EQ(log.posixPermissions, 0640);
        EXPECT_EQ(log.linkCount, 1U);
        EXPECT_EQ(root.read("log"), "new");
        struct stat after {};
        ASSERT_EQ(::lstat(root.path(planted).c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(S_ISREG(after.st_mode) ? root.read(planted) : "", contents);
        EXPECT_EQ(files.contentsOfDirectory(folder).size(), 2U) << "no temporary file is left";
    }
    EXPECT_EQ(outside.read("victim"), "precious");
}

} // namespace
} // namespace vorla::foundation
