#include "platform/foundation/FileManager.hpp"
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

    const vorla::testing::TemporaryFolder folder_;
    const FileManager& files_ = *FileManager::defaultManager();
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
    files_.createFile(path("log"), "abc", 0640, false);
    ::umask(previous);
    EXPECT_EQ(files_.attributesOfItem(path("log")).posixPermissions, 0640);
    EXPECT_EQ(files_.attributesOfItem(path("log")).size, 3U);

    EXPECT_EQ(errorCode([&] { files_.createFile(path("log"), "x", std::nullopt, false); }), EEXIST);
    EXPECT_EQ(files_.contentsOfFile(path("log")), "abc");
    files_.createFile(path("log"), "new", std::nullopt, true);
    EXPECT_EQ(files_.contentsOfFile(path("log")), "new");
}

TEST_F(FileManagerTest, MoveFailsWhenTheDestinationExists) {
    files_.createFile(path("a"), "a", std::nullopt);
    files_.createFile(path("b"), "b", std::nullopt);
    const auto a = URL::fileURL(path("a")), b = URL::fileURL(path("b"));
    EXPECT_EQ(errorCode([&] { files_.moveItem(a, b); }), EEXIST);
    EXPECT_EQ(files_.contentsOfFile(path("b")), "b");
    files_.removeItem(path("b"));
    files_.moveItem(a, b);
    EXPECT_FALSE(files_.fileExists(path("a")));
    EXPECT_EQ(files_.contentsOfFile(path("b")), "a");
}

TEST_F(FileManagerTest, FailuresCarryTheSystemReason) {
    EXPECT_EQ(errorCode([&] { files_.removeItem(path("missing")); }), ENOENT);
    EXPECT_EQ(errorCode([&] { files_.attributesOfItem(path("missing")); }), ENOENT);
    EXPECT_EQ(errorCode([&] { files_.openForWriting(URL::fileURL(path("missing"))); }), ENOENT);
    files_.createFile(path("plain"), "", std::nullopt);
    EXPECT_NE(errorCode([&] { files_.createDirectory(URL::fileURL(path("plain/sub"))); }), 0);
}

TEST_F(FileManagerTest, DirectoriesListingsAndDates) {
    files_.createDirectory(URL::fileURL(path("x/y/z"), true));
    files_.createDirectory(URL::fileURL(path("x/y/z"), true));
    files_.createFile(path("x/f"), "", std::nullopt);
    auto names = files_.contentsOfDirectory(path("x"));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"f", "y"}));

    const Date then = Date(std::chrono::seconds(1714557600)) + std::chrono::milliseconds(250);
    files_.setModificationDate(path("x/f"), then);
    EXPECT_EQ(files_.attributesOfItem(path("x/f")).modificationDate, then);
}

TEST_F(FileManagerTest, HandleAppendsAtTheEndAndCanUndoAWrite) {
    files_.createFile(path("log"), "x", std::nullopt);
    FileHandle handle = files_.openForWriting(URL::fileURL(path("log")));
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
    files_.createFile(path("log"), "x\r\n", std::nullopt);
    FileHandle handle = files_.openForWriting(URL::fileURL(path("log")));
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

// Whatever stands at a path in place of a regular file, root neither writes through it nor
// reads from it, and never waits on it.
TEST_F(FileManagerTest, OnlyRegularFilesAreOpenedAndNothingHangs) {
    files_.createFile(path("target"), "kept", std::nullopt);
    std::filesystem::create_symlink(path("target"), path("link"));
    std::filesystem::create_symlink("/dev/zero", path("zero"));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(path("folder"));
    const std::string withZero = path("log") + std::string(1, '\0') + "tail";
    struct Case {
        std::string path;
        bool readable; // links are followed for reading, never for writing
    };
    for (const Case& row : std::vector<Case>{{path("link"), true},
                                             {path("zero"), false},
                                             {path("fifo"), false},
                                             {path("folder"), false},
                                             {"/dev/null", false},
                                             {withZero, false}}) {
        EXPECT_NE(errorCode([&] { files_.openForWriting(URL::fileURL(row.path, false)); }), 0)
            << row.path;
        EXPECT_EQ(errorCode([&] { files_.contentsOfFile(row.path, 1 << 20); }) == 0, row.readable)
            << row.path;
    }
    EXPECT_NE(errorCode([&] { files_.createFile(withZero, "x", 0640); }), 0);
    EXPECT_EQ(files_.contentsOfFile(path("target")), "kept");
    EXPECT_FALSE(files_.fileExists(path("log")));
    EXPECT_EQ(errorCode([&] { files_.contentsOfFile(path("target"), 3); }), EFBIG);
    EXPECT_FALSE(files_.attributesOfItem(path("link")).isRegularFile);
    EXPECT_TRUE(files_.attributesOfItem(path("target")).isRegularFile);
    EXPECT_NE(errorCode([&] { files_.removeFile(path("folder")); }), 0);
    EXPECT_TRUE(std::filesystem::is_directory(path("folder")));
}

// Modes are the ones asked for even under an empty umask, and a file is never seen half-made.
TEST_F(FileManagerTest, ModesIgnoreTheUmaskAndFilesAppearWhole) {
    const mode_t previous = ::umask(0);
    files_.createDirectory(URL::fileURL(path("a/b/c"), true));
    files_.createFile(path("a/b/c/log"), "", 0640, false);
    files_.createFile(path("a/b/c/plain"), "x", std::nullopt);
    ::umask(previous);
    for (const char* folder : {"a", "a/b", "a/b/c"}) {
        EXPECT_EQ(files_.attributesOfItem(path(folder)).posixPermissions, 0755) << folder;
    }
    EXPECT_EQ(files_.attributesOfItem(path("a/b/c/log")).posixPermissions, 0640);
    EXPECT_EQ(files_.attributesOfItem(path("a/b/c/plain")).posixPermissions, 0644);
    EXPECT_EQ(files_.contentsOfDirectory(path("a/b/c")).size(), 2U);
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
