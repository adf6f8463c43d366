#include "SinkTestSupport.hpp"
#include "sinks/FileLogger.hpp"
#include "tests/support/BoundedWait.hpp"

#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
    std::ofstream(path) << "x";
    ::chmod(path.c_str(), 0600);
    const auto logger = makeLogger(path, "644");
    EXPECT_EQ(readFile(path), "x");
    logger->log(LogLevel::info, "abc");
    logger->log(LogLevel::info, "");
    EXPECT_EQ(readFile(path), "xabc\r\n\r\n");
    struct stat status {};
    ::stat(path.c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0600U);
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
    ASSERT_EQ(messages.size(), 10U);
    EXPECT_EQ(messages[9], "failure: dropped 1 held lines of file://" + path +
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

// A line is written only once its write, fsync and close succeeded: a disk that fails any of
// them (once) gets the line reported, and in force mode written again from the sink's copy
// (after a failed fsync it may then stand twice); at the stop, what still fails is counted.
TEST(FileLoggerTest, ALineWhoseStorageFailedIsNeverTakenAsWritten) {
    using Hook = FailingFileManager::Hook FailingFileManager::*;
    const struct {
        const char* name;
        Hook hook;
        FileWritingErrorHandlingMode mode;
        const char* file; // after "one", "two"
    } rows[] = {
        {"write, force", &FailingFileManager::failWrite, FileWritingErrorHandlingMode::force,
         "one\r\ntwo\r\n"},
        {"fsync, force", &FailingFileManager::failSync, FileWritingErrorHandlingMode::force,
         "one\r\none\r\ntwo\r\n"},
        {"close, force", &FailingFileManager::failClose, FileWritingErrorHandlingMode::force,
         "one\r\none\r\ntwo\r\n"},
        {"write, print", &FailingFileManager::failWrite, FileWritingErrorHandlingMode::print,
         "two\r\n"},
        {"fsync, print", &FailingFileManager::failSync, FileWritingErrorHandlingMode::print,
         "one\r\ntwo\r\n"},
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
        ASSERT_EQ(messages.size(), 1U) << ::testing::PrintToString(messages);
        EXPECT_TRUE(messages[0].starts_with(
            "failure: error in appending data in a file, error: injected failure"))
            << messages[0];
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
}

// Whatever stands at the log's name that root should not write into (placed before the sink
// starts, or while it runs) is moved aside, never written through or changed, and a new log
// takes its place; one report each, and no line is lost.
TEST(FileLoggerTest, AnUnsoundLogFileMakesWayForANewOne) {
    const struct {
        const char* name;
        std::function<void(const std::string& log, const std::string& victim)> plant;
        const char* reason;
        bool needsRoot;
    } rows[] = {
        {"a link", [](auto& log, auto& victim) { std::filesystem::create_symlink(victim, log); },
         "is a symbolic link", false},
        {"a FIFO", [](auto& log, auto&) { ::mkfifo(log.c_str(), 0600); }, "is not a regular file",
         false},
        {"a folder", [](auto& log, auto&) { std::filesystem::create_directory(log); },
         "is not a regular file", false},
        {"a hard link", [](auto& log, auto& victim) { ::link(victim.c_str(), log.c_str()); },
         "has 2 links", false},
        {"a file open to all",
         [](auto& log, auto&) {
             std::ofstream(log) << "forged\r\n";
             ::chmod(log.c_str(), 0666);
         },
         "is writable by group or others (mode 0666)", false},
        {"another user's file",
         [](auto& log, auto&) {
             std::ofstream(log) << "forged\r\n";
             ::chown(log.c_str(), 65534, 65534);
         },
         "is owned by user 65534", true},
    };
    for (const bool whileRunning : {false, true}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (whileRunning ? " while running" : " at start"));
            if (row.needsRoot && ::geteuid() != 0) {
                continue; // only root can give a file to another user
            }
            if (!whileRunning && row.name == std::string_view("a folder")) {
                continue; // the URL of a folder names no file: the sink refuses it outright
            }
            const TemporaryFolder folder;
            const std::string path = folder.path("x.log");
            const std::string victim =
                folder.write("victim", "precious", std::filesystem::perms(0600));
            auto reporter = std::make_shared<testing::RecordingReporter>();
            const auto make = [&] {
                return std::make_shared<FileLogger>(
                    "com.vorla.test", LogLevel::trace, nullptr, foundation::URL::fileURL(path),
                    "640", FlushMode::always, FileWritingErrorHandlingMode::force, nullptr,
                    reporter);
            };
            std::shared_ptr<FileLogger> logger;
            if (whileRunning) {
                logger = make();
                std::filesystem::remove(path);
            }
            row.plant(path, victim);
            if (!whileRunning) {
                logger = make();
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
            EXPECT_EQ(messages[0], "failure: set aside file://" + path + " as file://" + kept[0] +
                                       ": " + path + " " + row.reason);
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
