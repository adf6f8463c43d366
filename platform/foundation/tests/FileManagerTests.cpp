#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/Folder.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/tests/TemporaryFolder.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace vorla::foundation {
namespace {

class FileManagerTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return folder_.path(name); }
    Folder open(const std::string& name = "", Folder::Options options = {}) const {
        return files_.openFolder(URL::fileURL(path(name), true), options);
    }

    const vorla::testing::TemporaryFolder folder_;
    const FileManager& files_ = *FileManager::defaultManager();
    const Folder here_ = open();
};

int errorCode(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const FoundationError& error) {
        EXPECT_NE(std::string(error.what()), "");
        return error.code();
    }
    return 0;
}

TEST_F(FileManagerTest, CreateFileAppliesExactBitsAndRefusesToReplaceWhenAsked) {
    const mode_t previous = ::umask(077);
    files_.createFile(here_, "log", "abc", 0640, false);
    ::umask(previous);
    EXPECT_EQ(files_.attributesOfItem(here_, "log").posixPermissions, 0640);
    EXPECT_EQ(files_.attributesOfItem(here_, "log").size, 3U);

    EXPECT_EQ(errorCode([&] { files_.createFile(here_, "log", "x", std::nullopt, false); }),
              EEXIST);
    EXPECT_EQ(files_.contentsOfFile(path("log")), "abc");
    files_.createFile(here_, "log", "new", std::nullopt, true);
    EXPECT_EQ(files_.contentsOfFile(path("log")), "new");
    EXPECT_EQ(files_.contentsOfDirectory(here_).size(), 1U) << "no temporary file is left";
}

TEST_F(FileManagerTest, MoveFailsWhenTheDestinationExists) {
    files_.createFile(here_, "a", "a", std::nullopt);
    files_.createFile(here_, "b", "b", std::nullopt);
    EXPECT_EQ(errorCode([&] { files_.moveItem(here_, "a", "b"); }), EEXIST);
    EXPECT_EQ(files_.contentsOfFile(path("b")), "b");
    files_.removeFile(here_, "b");
    files_.moveItem(here_, "a", "b");
    EXPECT_FALSE(files_.fileExists(path("a")));
    EXPECT_EQ(files_.contentsOfFile(path("b")), "a");
}

TEST_F(FileManagerTest, FailuresCarryTheSystemReason) {
    EXPECT_EQ(errorCode([&] { files_.removeItem(path("missing")); }), ENOENT);
    EXPECT_EQ(errorCode([&] { files_.attributesOfItem(here_, "missing"); }), ENOENT);
    EXPECT_EQ(errorCode([&] { files_.openForWriting(here_, "missing"); }), ENOENT);
    EXPECT_EQ(errorCode([&] { open("missing"); }), ENOENT);
    files_.createFile(here_, "plain", "", std::nullopt);
    EXPECT_EQ(errorCode([&] { open("plain/sub", {.create = true}); }), ENOTDIR);
}

TEST_F(FileManagerTest, FoldersListingsAndDates) {
    open("x/y/z", {.create = true});
    const Folder x = open("x", {.create = true});
    files_.createFile(x, "f", "", std::nullopt);
    auto entries = files_.contentsOfDirectory(x);
    std::sort(entries.begin(), entries.end(),
              [](const auto& left, const auto& right) { return left.name < right.name; });
    ASSERT_EQ(entries.size(), 2U);
    EXPECT_EQ(entries[0].name, "f");
    EXPECT_EQ(entries[1].name, "y");
    EXPECT_EQ(entries[1].kind.value_or(ObjectKind::folder), ObjectKind::folder);

    const Date then = Date(std::chrono::seconds(1714557600)) + std::chrono::milliseconds(250);
    FileHandle handle = files_.openForWriting(x, "f");
    handle.setModificationDate(then);
    EXPECT_EQ(files_.attributesOfItem(x, "f").modificationDate, then);
}

TEST_F(FileManagerTest, HandleAppendsAtTheEndAndCanUndoAWrite) {
    files_.createFile(here_, "log", "x", std::nullopt);
    FileHandle handle = files_.openForWriting(here_, "log");
    const auto end = handle.seekToEnd();
    EXPECT_EQ(end, 1U);
    handle.write("abc");
    handle.truncate(end + 1);
    EXPECT_EQ(handle.size(), 2U);
    handle.synchronize();
    handle.close();
    handle.close();
    EXPECT_EQ(files_.contentsOfFile(path("log")), "xa");
}

// A file-size limit makes the kernel write part of the bytes and then refuse the rest, the way
// a full disk does.
TEST_F(FileManagerTest, AFailedAppendLeavesNoPartOfItsBytes) {
    files_.createFile(here_, "log", "x\r\n", std::nullopt);
    FileHandle handle = files_.openForWriting(here_, "log");
    handle.append("ab\r\n");
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int code = errorCode([&] { handle.append("a line that does not fit\r\n"); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(code, EFBIG);
    handle.append("cd\r\n");
    EXPECT_EQ(handle.size(), 11U);
    handle.close();
    EXPECT_EQ(files_.contentsOfFile(path("log")), "x\r\nab\r\ncd\r\n");
}

// Whatever stands at a name in place of a regular file, root neither writes through it nor
// reads from it, and never waits on it.
TEST_F(FileManagerTest, OnlyRegularFilesAreOpenedAndNothingHangs) {
    files_.createFile(here_, "target", "kept", std::nullopt);
    std::filesystem::create_symlink(path("target"), path("link"));
    std::filesystem::create_symlink("/dev/zero", path("zero"));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(path("folder"));
    const std::string withZero = std::string("log") + std::string(1, '\0') + "tail";
    for (const std::string& name : {std::string("link"), std::string("zero"), std::string("fifo"),
                                    std::string("folder"), withZero}) {
        EXPECT_NE(errorCode([&] { files_.openForWriting(here_, name); }), 0) << name;
        EXPECT_NE(errorCode([&] { files_.openForReading(here_, name); }), 0) << name;
    }
    // The plain path reader, for files no other user controls, follows a link.
    EXPECT_EQ(files_.contentsOfFile(path("link")), "kept");
    EXPECT_NE(errorCode([&] { files_.contentsOfFile(path("fifo")); }), 0);
    EXPECT_NE(errorCode([&] { files_.createFile(here_, withZero, "x", 0640); }), 0);
    EXPECT_EQ(files_.contentsOfFile(path("target")), "kept");
    EXPECT_FALSE(files_.fileExists(path("log")));
    EXPECT_EQ(errorCode([&] { files_.contentsOfFile(path("target"), 3); }), EFBIG);
    EXPECT_EQ(files_.attributesOfItem(here_, "link").kind, ObjectKind::symbolicLink);
    EXPECT_TRUE(files_.attributesOfItem(here_, "target").isRegularFile());
    EXPECT_NE(errorCode([&] { files_.removeFile(here_, "folder"); }), 0);
    EXPECT_TRUE(std::filesystem::is_directory(path("folder")));
}

// Modes are the ones asked for even under an empty umask, and a file is never seen half-made.
TEST_F(FileManagerTest, ModesIgnoreTheUmaskAndFilesAppearWhole) {
    const mode_t previous = ::umask(0);
    const Folder made = open("a/b/c", {.create = true});
    files_.createFile(made, "log", "", 0640, false);
    files_.createFile(made, "plain", "x", std::nullopt);
    ::umask(previous);
    for (const char* folder : {"a", "a/b", "a/b/c"}) {
        struct stat status {};
        ASSERT_EQ(::stat(path(folder).c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0755U) << folder;
    }
    EXPECT_EQ(files_.attributesOfItem(made, "log").posixPermissions, 0640);
    EXPECT_EQ(files_.attributesOfItem(made, "plain").posixPermissions, 0644);
    EXPECT_EQ(files_.contentsOfDirectory(made).size(), 2U);
}

TEST(URLTest, OnePathHasOneSpelling) {
    for (const auto& [given, expected] : std::vector<std::pair<std::string, std::string>>{
             {"/var//log/audit.log", "/var/log/audit.log"},
             {"//var/./log/./audit.log/.", "/var/log/audit.log"},
             {"/var/log/", "/var/log"},
             {"/var/../log", "/var/../log"},
             {"/", "/"},
             {"//.", "/"}}) {
        EXPECT_EQ(URL::fileURL(given, false).toPath(), expected) << given;
    }
    const URL log = URL::fileURL("/var//log/audit.log", false);
    EXPECT_EQ(log.deletingLastPathComponent()
                  .appendingPathComponent("audit.log.1", false)
                  .deletingPathExtension(),
              log);
}

} // namespace
} // namespace vorla::foundation
