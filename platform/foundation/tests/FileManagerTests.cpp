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
    handle.close();
    EXPECT_EQ(files_.contentsOfFile(path("log")), "x\r\nab\r\ncd\r\n");
}

} // namespace
} // namespace vorla::foundation
