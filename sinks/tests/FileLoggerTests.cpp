#include "SinkTestSupport.hpp"
#include "sinks/FileLogger.hpp"
#include "sinks/RepeatedFailure.hpp"
#include "tests/support/BoundedWait.hpp"

#include <fstream>
#include <future>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <tuple>

namespace vorla {
namespace {

using testing::FailingFileManager;
using testing::readFile;
using testing::TemporaryFolder;

std::shared_ptr<FileLogger>
makeLogger(const std::string& path, const std::string& permission,
           FileWritingErrorHandlingMode mode = FileWritingErrorHandlingMode::print,
           std::shared_ptr<const foundation::FileManager> files = {}) {
    return std::make_shared<FileLogger>("com.vorla.test", LogLevel::trace, nullptr,
                                        foundation::URL::fileURL(path), permission,
                                        FlushMode::always, mode, std::move(files));
}

// A sink of "x.log" in a folder of its own, with a file manager that fails on request and a
// reporter that keeps what it is told.
struct WatchedSink {
    explicit WatchedSink(FileWritingErrorHandlingMode mode)
        : path(folder.path("x.log")),
          logger(std::make_shared<FileLogger>("com.vorla.test", LogLevel::trace, nullptr,
                                              foundation::URL::fileURL(path), "640",
                                              FlushMode::always, mode, files, reporter)) {}

    TemporaryFolder folder;
    std::string path;
    std::shared_ptr<FailingFileManager> files = std::make_shared<FailingFileManager>();
    std::shared_ptr<testing::RecordingReporter> reporter =
        std::make_shared<testing::RecordingReporter>();
    std::shared_ptr<FileLogger> logger;
};

// A force-mode sink of "x.log" in a folder of its own, beside a file that must never change,
// for tests that plant something at the log's name.
struct PlantedLog {
    std::shared_ptr<FileLogger> make() const {
        return std::make_shared<FileLogger>(
            "com.vorla.test", LogLevel::trace, nullptr, foundation::URL::fileURL(path), "640",
            FlushMode::always, FileWritingErrorHandlingMode::force, nullptr, reporter);
    }

    TemporaryFolder folder;
    std::string path = folder.path("x.log");
    std::string victim = folder.write("victim", "precious", std::filesystem::perms(0600));
    std::shared_ptr<testing::RecordingReporter> reporter =
        std::make_shared<testing::RecordingReporter>();
    // What was planted, as lstat saw it.
    struct stat status {};

    // Plants at the log's name before the sink starts, or while it runs (then giving the sink).
    std::shared_ptr<FileLogger>
    plant(const std::function<void(const std::string& log, const std::string& victim)>& planter,
          bool whileRunning) {
        std::shared_ptr<FileLogger> logger;
        if (whileRunning) {
            logger = make();
            std::filesystem::remove(path);
        }
        planter(path, victim);
        EXPECT_EQ(::lstat(path.c_str(), &status), 0);
        return logger;
    }
};

FileError creationError(const std::string& path, const std::string& permission) {
    try {
        makeLogger(path, permission);
    } catch (const FileError& error) {
        return error;
    }
    ADD_FAILURE() << "created " << path << " with " << permission;
    return FileError::creatingFileFailed(foundation::URL::fileURL(path));
}

TEST(FileLoggerTest, PermissionTexts) {
    const TemporaryFolder folder;
    for (const char* good : {"640", "0640", "+640", "777", "0", "-0", "000000640"}) {
        EXPECT_NO_THROW(makeLogger(folder.path(std::string("ok") + good), good)) << good;
    }
    for (const char* bad : {"", "8", "1000", "64 0", "-1", "0o640", "rw-r-----", "200000"}) {
        const std::string path = folder.path("bad.log");
        const FileError error = creationError(path, bad);
        EXPECT_EQ(error.kind(), FileError::Kind::invalidPermission) << bad;
        EXPECT_EQ(error.errorDescription(),
                  "invalid file permission. file: file://" + path + ", permission: " + bad);
        EXPECT_STREQ(error.what(), error.errorDescription().c_str());
        EXPECT_FALSE(std::filesystem::exists(path)) << bad;
    }
}

TEST(FileLoggerTest, CreationFailuresInStepOrder) {
    const TemporaryFolder folder;
    const FileError directory = creationError(folder.path("dir/"), "bad");
    EXPECT_EQ(directory.kind(), FileError::Kind::isNotFile);
    EXPECT_EQ(directory.errorDescription(), "file://" + folder.path("dir/") + " is not a file");

    testing::TemporaryFolder spaced;
    std::filesystem::create_directory(spaced.path("a b"));
    std::ofstream(spaced.path("a b/plain")) << "x";
    const FileError blocked = creationError(spaced.path("a b/plain/x.log"), "640");
    EXPECT_EQ(blocked.kind(), FileError::Kind::creatingDirectoryFailed);
    EXPECT_EQ(blocked.errorDescription(),
              "failed to create a directory: file://" + spaced.path("a%20b/plain/"));
    EXPECT_EQ(blocked.code(), ENOTDIR) << "the system's reason is kept beside the description";
}

TEST(FileLoggerTest, CreatesTheFolderChainAndTheFileWithItsBits) {
    const TemporaryFolder folder;
    const std::string path = folder.path("a/b/c/x.log");
    const auto logger = makeLogger(path, "640");
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640U);
    EXPECT_EQ(status.st_size, 0);
}

TEST(FileLoggerTest, AnExistingFileKeepsContentsAndBits) {
    const TemporaryFolder folder;
    const std::string path = folder.path("x.log");
    std::ofstream(path) << "x\r\n";
    ::chmod(path.c_str(), 0600);
    const auto logger = makeLogger(path, "644");
    EXPECT_EQ(readFile(path), "x\r\n");
    logger->log(LogLevel::info, "abc");
    logger->log(LogLevel::info, "");
    EXPECT_EQ(readFile(path), "x\r\nabc\r\n\r\n");
    struct stat status {};
    ::stat(path.c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0600U);
}

// What follows the last CR LF was never acknowledged (a power cut kept part of an append, or its
// length in zeros): it goes before the first new line, with one report of its size.
TEST(FileLoggerTest, ATornEndIsCutBackAtOpen) {
    const std::string block(65535, 'z');
    const struct {
        const char* name;
        std::string contents;
        std::string kept;
    } rows[] = {
        {"half a line", "a\r\nhalf", "a\r\n"},
        {"zero bytes", std::string("a\r\n\0\0\0", 6), "a\r\n"},
        {"a CR alone", "a\r\nb\r", "a\r\n"},
        {"a LF alone", "a\r\nb\n", "a\r\n"},
        {"no line at all", "half", ""},
        {"CR LF across the first block read", "0123456789\r\n" + block, "0123456789\r\n"},
        {"far back", "a\r\n" + block + block + "b", "a\r\n"},
        {"whole", "a\r\n", "a\r\n"},
        {"empty", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TemporaryFolder folder;
        const std::string path = folder.write("x.log", row.contents, std::filesystem::perms(0640));
        auto reporter = std::make_shared<testing::RecordingReporter>();
        const auto logger = std::make_shared<FileLogger>(
            "com.vorla.test", LogLevel::trace, nullptr, foundation::URL::fileURL(path), "640",
            FlushMode::always, FileWritingErrorHandlingMode::print, nullptr, reporter);
        logger->log(LogLevel::info, "new");
        EXPECT_EQ(readFile(path), row.kept + "new\r\n");
        const std::size_t cut = row.contents.size() - row.kept.size();
        const auto expected = cut == 0
                                  ? std::vector<std::string>{}
                                  : std::vector<std::string>{"notice: cut " + std::to_string(cut) +
                                                             " bytes from the end of file://" +
                                                             path + ", which held no whole line"};
        EXPECT_EQ(reporter->messages(), expected);
    }
}

TEST(FileLoggerTest, ARemovedFileIsReportedAndNotRecreatedInPrintMode) {
    const TemporaryFolder folder;
    const std::string path = folder.path("x.log");
    const auto logger = makeLogger(path, "640");
    std::filesystem::remove(path);
    ::testing::internal::CaptureStdout();
    logger->log(LogLevel::info, "lost");
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(printed.starts_with("error in appending data in a file, error: ")) << printed;
    EXPECT_TRUE(printed.ends_with(", file: file://" + path + "\n")) << printed;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(FileLoggerTest, ForceModeKeepsLinesUntilTheyCanBeWritten) {
    const TemporaryFolder folder;
    const std::string path = folder.path("x.log");
    auto files = std::make_shared<FailingFileManager>();
    const auto logger = makeLogger(path, "640", FileWritingErrorHandlingMode::force, files);
    files->failOpen = testing::failTimes("x.log", 2);
    ::testing::internal::CaptureStdout();
    logger->log(LogLevel::info, "one");
    logger->log(LogLevel::info, "two");
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(readFile(path), "");
    logger->log(LogLevel::info, "three");
    EXPECT_EQ(readFile(path), "one\r\ntwo\r\nthree\r\n");

    std::filesystem::remove(path);
    logger->log(LogLevel::info, "four");
    EXPECT_EQ(readFile(path), "four\r\n");
    struct stat status {};
    ::stat(path.c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0640U);
}

// The one promise of `always`: every line is on storage before its file is closed.
TEST(FileLoggerTest, DurabilityCallsFollowTheFlushMode) {
    const TemporaryFolder folder;
    for (const auto mode : {FlushMode::always, FlushMode::manual}) {
        auto files = std::make_shared<FailingFileManager>();
        const auto logger = std::make_shared<FileLogger>(
            "com.vorla.test", LogLevel::trace, nullptr, foundation::URL::fileURL(folder.path("x")),
            "640", mode, FileWritingErrorHandlingMode::print, files);
        files->handleCalls.clear();
        logger->log(LogLevel::info, "one");
        logger->log(LogLevel::info, "two");
        const std::vector<std::string> always = {"sync", "close", "sync", "close"};
        const std::vector<std::string> manual = {"close", "close"};
        EXPECT_EQ(files->handleCalls, mode == FlushMode::always ? always : manual);
    }
}

// Lines held back after failed writes are never lost without a count: past the memory bound
// the oldest go and are reported, and what is still held at the stop is reported as lost.
TEST(FileLoggerTest, HeldLinesThatAreLostAreCounted) {
    const WatchedSink sink(FileWritingErrorHandlingMode::force);
    const auto& [folder, path, files, reporter, logger] = sink;
    files->failOpen = [](const std::string&) { return true; };
    const std::string megabyte((1 << 20) - 2, 'x'); // with CR LF, exactly one mebibyte
    for (int line = 0; line < 9; ++line) {
        logger->log(LogLevel::info, megabyte);
    }
    auto messages = reporter->messages();
    ASSERT_EQ(messages.size(), 2U) << "one report of the failure, one of the loss";
    EXPECT_EQ(messages[1], "failure: dropped 1 held lines of file://" + path +
                               ": more than 8388608 bytes were waiting to be written");
    EXPECT_EQ(logger->writeHeldLines(), 8U);
    EXPECT_TRUE(reporter->messages().back().starts_with(
        "failure: 8 lines of file://" + path +
        " could not be written before the stop and are lost, error: injected failure"))
        << reporter->messages().back();
    EXPECT_EQ(logger->writeHeldLines(), 0U) << "reported once";

    files->failOpen = testing::failTimes("x.log", 1);
    logger->log(LogLevel::info, "held");
    EXPECT_EQ(logger->writeHeldLines(), 0U);
    EXPECT_EQ(readFile(path), "held\r\n");
}

// A line is written only once its write and fsync succeeded: a disk that fails either (once)
// gets the line cut back out of the file and reported, in force mode written again from the
// sink's copy, so it stands once; print mode reports exactly the line that is not on disk. A
// close cannot take back what an fsync stored. At the stop, what still fails is counted.
TEST(FileLoggerTest, ALineWhoseStorageFailedIsNeverTakenAsWritten) {
    using Hook = FailingFileManager::Hook FailingFileManager::*;
    const struct {
        const char* name;
        Hook hook;
        FileWritingErrorHandlingMode mode;
        const char* file; // after "one", "two"
        bool reported;
    } rows[] = {
        {"write, force", &FailingFileManager::failWrite, FileWritingErrorHandlingMode::force,
         "one\r\ntwo\r\n", true},
        {"fsync, force", &FailingFileManager::failSync, FileWritingErrorHandlingMode::force,
         "one\r\ntwo\r\n", true},
        {"close, force", &FailingFileManager::failClose, FileWritingErrorHandlingMode::force,
         "one\r\ntwo\r\n", false},
        {"write, print", &FailingFileManager::failWrite, FileWritingErrorHandlingMode::print,
         "two\r\n", true},
        {"fsync, print", &FailingFileManager::failSync, FileWritingErrorHandlingMode::print,
         "two\r\n", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const WatchedSink sink(row.mode);
        const auto& [folder, path, files, reporter, logger] = sink;
        (*files).*row.hook = testing::failTimes("x.log", 1);
        logger->log(LogLevel::info, "one");
        logger->log(LogLevel::info, "two");
        EXPECT_EQ(readFile(path), row.file);
        const auto messages = reporter->messages();
        ASSERT_EQ(messages.size(), row.reported ? 2U : 0U) << ::testing::PrintToString(messages);
        if (row.reported) {
            EXPECT_TRUE(messages[0].starts_with(
                "failure: error in appending data in a file, error: injected failure"))
                << messages[0];
            EXPECT_EQ(messages[1], "notice: lines are appended to file://" + path + " again");
        }
        EXPECT_EQ(logger->writeHeldLines(), 0U);
    }

    // What the stop cannot get onto storage is counted as lost, never taken as written.
    const WatchedSink sink(FileWritingErrorHandlingMode::force);
    sink.files->failSync = [](const std::string&) { return true; };
    sink.logger->log(LogLevel::info, "one");
    EXPECT_EQ(sink.logger->writeHeldLines(), 1U);
    const auto& reporter = sink.reporter;
    EXPECT_TRUE(reporter->messages().back().starts_with(
        "failure: 1 lines of file://" + sink.path +
        " could not be written before the stop and are lost, error: injected failure"))
        << reporter->messages().back();
    EXPECT_EQ(readFile(sink.path), "");
}

// A file that cannot be cut back after a failed fsync keeps what it holds under another name;
// the held line goes into a new file, once.
TEST(FileLoggerTest, ALogThatCannotBeCutBackIsSetAsideAsUnsound) {
    const WatchedSink sink(FileWritingErrorHandlingMode::force);
    const auto& [folder, path, files, reporter, logger] = sink;
    logger->log(LogLevel::info, "zero");
    files->failSync = testing::failTimes("x.log", 1);
    files->failTruncate = testing::failTimes("x.log", 1);
    logger->log(LogLevel::info, "one");
    logger->log(LogLevel::info, "two");
    EXPECT_EQ(readFile(path), "one\r\ntwo\r\n");
    std::vector<std::string> unsound;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        if (entry.path().filename().string().starts_with("x.log-unsound-")) {
            unsound.push_back(entry.path().string());
        }
    }
    ASSERT_EQ(unsound.size(), 1U);
    EXPECT_EQ(readFile(unsound[0]), "zero\r\none\r\n") << "kept as it was";
    const auto messages = reporter->messages();
    ASSERT_EQ(messages.size(), 3U) << ::testing::PrintToString(messages);
    EXPECT_EQ(messages[0], "failure: set aside file://" + path + " as file://" + unsound[0] +
                               ": file://" + path + " could not be cut back after a failed write");
}

// A failure that repeats is told when it starts and when it ends; in between it is counted.
TEST(FileLoggerTest, ARepeatedFailureIsToldOnceThenCounted) {
    const WatchedSink sink(FileWritingErrorHandlingMode::print);
    const auto& [folder, path, files, reporter, logger] = sink;
    files->failWrite = testing::failTimes("x.log", 200);
    for (int line = 0; line < 200; ++line) {
        logger->log(LogLevel::info, "lost");
    }
    EXPECT_EQ(reporter->messages().size(), 1U) << ::testing::PrintToString(reporter->messages());
    logger->log(LogLevel::info, "kept");
    const auto messages = reporter->messages();
    ASSERT_EQ(messages.size(), 3U) << ::testing::PrintToString(messages);
    EXPECT_EQ(messages[1], "failure: 199 more lines could not be appended to file://" + path);
    EXPECT_EQ(messages[2], "notice: lines are appended to file://" + path + " again");
    EXPECT_EQ(readFile(path), "kept\r\n");
}

// The count of a failure that lasts comes once a minute at most, and a new kind is told at once.
TEST(FileLoggerTest, ALastingFailureIsCountedOnceAMinute) {
    auto reporter = std::make_shared<testing::RecordingReporter>();
    std::chrono::steady_clock::time_point now{};
    RepeatedFailure failures("file:///x.log", reporter, [&now] { return now; });
    const auto at = [&now](int seconds) {
        now = std::chrono::steady_clock::time_point{} + std::chrono::seconds(seconds);
    };
    for (const int second : {0, 10, 59}) {
        at(second);
        failures.failed("full");
    }
    at(60);
    failures.failed("full");
    at(61);
    failures.failed("full");
    failures.failed("gone");
    at(200);
    failures.succeeded();
    failures.succeeded();
    EXPECT_EQ(reporter->messages(),
              (std::vector<std::string>{
                  "failure: full", "failure: 3 more lines could not be appended to file:///x.log",
                  "failure: 1 more lines could not be appended to file:///x.log", "failure: gone",
                  "notice: lines are appended to file:///x.log again"}));
}

// Whatever another user placed at the log's name, and root's own file that root should not write
// into (before the sink starts, or while it runs), is moved aside under a name nobody could take
// first, never written through or changed, and a new log takes its place; one report each, and
// no line is lost.
TEST(FileLoggerTest, AnUnsoundLogFileMakesWayForANewOne) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give an entry to another user";
    }
    const auto theirs = [](const std::string& log) {
        ASSERT_EQ(::lchown(log.c_str(), 65534, 65534), 0);
    };
    const struct {
        const char* name;
        std::function<void(const std::string& log, const std::string& victim)> plant;
        const char* reason;
    } rows[] = {
        {"another user's link",
         [&](auto& log, auto& victim) {
             std::filesystem::create_symlink(victim, log);
             theirs(log);
         },
         "is a symbolic link owned by user 65534"},
        {"another user's link to a folder",
         [&](auto& log, auto&) {
             std::filesystem::create_symlink("/", log);
             theirs(log);
         },
         "is a symbolic link owned by user 65534"},
        {"another user's FIFO",
         [&](auto& log, auto&) {
             ::mkfifo(log.c_str(), 0600);
             theirs(log);
         },
         "is owned by user 65534"},
        {"another user's folder",
         [&](auto& log, auto&) {
             std::filesystem::create_directory(log);
             theirs(log);
         },
         "is owned by user 65534"},
        {"another user's file",
         [&](auto& log, auto&) {
             std::ofstream(log) << "forged\r\n";
             theirs(log);
         },
         "is owned by user 65534"},
        {"root's hard link", [](auto& log, auto& victim) { ::link(victim.c_str(), log.c_str()); },
         "has 2 links"},
        {"root's file open to all",
         [](auto& log, auto&) {
             std::ofstream(log) << "forged\r\n";
             ::chmod(log.c_str(), 0666);
         },
         "is writable by group or others (mode 0666)"},
    };
    for (const bool whileRunning : {false, true}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (whileRunning ? " while running" : " at start"));
            PlantedLog planted;
            const auto& [folder, path, victim, reporter, before] = planted;
            std::shared_ptr<FileLogger> logger = planted.plant(row.plant, whileRunning);
            if (!whileRunning) {
                logger = planted.make();
            }
            logger->log(LogLevel::info, "line");
            EXPECT_EQ(readFile(victim), "precious");
            EXPECT_EQ(readFile(path), "line\r\n");
            struct stat status {};
            ASSERT_EQ(::lstat(path.c_str(), &status), 0);
            EXPECT_EQ(status.st_mode, S_IFREG | 0640);
            EXPECT_EQ(status.st_nlink, 1U);
            const auto messages = reporter->messages();
            ASSERT_EQ(messages.size(), 1U) << ::testing::PrintToString(messages);
            std::vector<std::string> kept;
            for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
                if (entry.path().filename().string().starts_with("x.log-untrusted-")) {
                    kept.push_back(entry.path().string());
                }
            }
            ASSERT_EQ(kept.size(), 1U);
            EXPECT_THAT(kept[0], ::testing::MatchesRegex(".*/x.log-untrusted-[0-9]{8}T[0-9]{6}Z-"
                                                         "[A-Za-z0-9]{6}"));
            struct stat aside {};
            ASSERT_EQ(::lstat(kept[0].c_str(), &aside), 0);
            EXPECT_EQ(std::tie(aside.st_ino, aside.st_mode),
                      std::tie(before.st_ino, before.st_mode));
            EXPECT_EQ(messages[0], "failure: set aside file://" + path + " as file://" + kept[0] +
                                       ": " + path + " " + row.reason);
        }
    }
}

// Root's own device, FIFO, folder or link at the log's name is what an administrator put there:
// it is never moved, replaced or written. The sink cannot start, or later cannot append, and
// says why.
TEST(FileLoggerTest, RootsOwnObjectsAtTheLogNameAreNeverTouched) {
    const struct {
        const char* name;
        std::function<void(const std::string& log, const std::string& victim)> plant;
        FileError::Kind atStart;
        bool needsRoot;
    } rows[] = {
        {"a device",
         [](auto& log, auto&) {
             ASSERT_EQ(::mknod(log.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
         },
         FileError::Kind::openingForWritingFailed, true},
        {"a FIFO", [](auto& log, auto&) { ::mkfifo(log.c_str(), 0600); },
         FileError::Kind::openingForWritingFailed, false},
        {"a socket",
         [](auto& log, auto&) {
             const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             log.copy(address.sun_path, sizeof address.sun_path - 1);
             ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
             ::close(socket);
         },
         FileError::Kind::openingForWritingFailed, false},
        {"a link to a file",
         [](auto& log, auto& victim) { std::filesystem::create_symlink(victim, log); },
         FileError::Kind::openingForWritingFailed, false},
        {"a link to a folder", [](auto& log, auto&) { std::filesystem::create_symlink("/", log); },
         FileError::Kind::openingForWritingFailed, false},
        {"a folder", [](auto& log, auto&) { std::filesystem::create_directory(log); },
         FileError::Kind::isNotFile, false},
    };
    for (const bool whileRunning : {false, true}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (whileRunning ? " while running" : " at start"));
            if (row.needsRoot && ::geteuid() != 0) {
                continue; // only root may make a device node
            }
            PlantedLog planted;
            const auto& [folder, path, victim, reporter, before] = planted;
            std::shared_ptr<FileLogger> logger = planted.plant(row.plant, whileRunning);
            if (whileRunning) {
                logger->log(LogLevel::info, "line");
                logger->log(LogLevel::info, "line");
                EXPECT_EQ(logger->writeHeldLines(), 2U);
            } else {
                try {
                    planted.make();
                    ADD_FAILURE() << "started on " << row.name;
                } catch (const FileError& error) {
                    EXPECT_EQ(error.kind(), row.atStart);
                }
            }
            struct stat after {};
            ASSERT_EQ(::lstat(path.c_str(), &after), 0);
            EXPECT_EQ(std::tie(after.st_ino, after.st_mode, after.st_rdev),
                      std::tie(before.st_ino, before.st_mode, before.st_rdev));
            EXPECT_EQ(readFile(victim), "precious");
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                                    std::filesystem::directory_iterator()),
                      2)
                << "nothing set aside";
            // A folder's path names no file at all: the error says so by itself.
            const bool folderAtStart = !whileRunning && row.atStart == FileError::Kind::isNotFile;
            const auto messages = reporter->messages();
            ASSERT_EQ(messages.size(), whileRunning    ? 2U
                                       : folderAtStart ? 0U
                                                       : 1U)
                << ::testing::PrintToString(messages);
            if (!folderAtStart) {
                EXPECT_NE(messages[0].find("which is left as it is"), std::string::npos)
                    << messages[0];
            }
        }
    }
}

TEST(FileLoggerTest, DeleteAndFlushHelpers) {
    const bounded::Watchdog watchdog("the deletes and flushes on the sink's queue");
    const TemporaryFolder folder;
    const std::string path = folder.path("x.log");
    const auto logger = makeLogger(path, "640");
    const auto url = logger->fileURL();

    EXPECT_EQ(std::get<foundation::URL>(logger->deleteFile(url)), url);
    EXPECT_EQ(std::get<FileError>(logger->deleteFile(url)), FileError::deletingFailed(url));
    EXPECT_THROW(logger->deleteFileAsync(url).get(), FileError);
    std::promise<DeleteResult> result;
    logger->deleteFile(url, [&](DeleteResult outcome) { result.set_value(std::move(outcome)); });
    EXPECT_EQ(std::get<FileError>(result.get_future().get()).errorDescription(),
              "failed to delete a file: file://" + path);

    logger->flush(url);
    logger->flushAsync(url).get();
    std::promise<void> flushed;
    logger->flush(url, [&] { flushed.set_value(); });
    flushed.get_future().get();
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
} // namespace vorla
