#include "SinkTestSupport.hpp"
#include "platform/dispatch/Dispatch.hpp"
#include "sinks/ArchiveCompression.hpp"
#include "sinks/FileRotationLogger.hpp"
#include "tests/support/BoundedWait.hpp"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <zlib.h>

namespace vorla {
namespace {

using foundation::URL;
using testing::FailingFileManager;
using testing::failTimes;
using testing::readFile;
using testing::TemporaryFolder;
using Suffix = RotationConfig::SuffixExtension;

// The file name as the expectations write it: "audit.log" shortened to "log".
std::string shortName(const URL& url) {
    const std::string name = url.lastPathComponent();
    return name.starts_with("audit.log") ? "log" + name.substr(9) : name;
}

// Names every call with the short file names only, so expectations read like the folder.
class RecordingDelegate final : public FileRotationLoggerDelegate {
public:
    void onArchived(const FileRotationLogger&, const URL& file, const URL& archive) override {
        record("archived " + shortName(file) + " " + shortName(archive));
    }
    void onArchiveRemoved(const FileRotationLogger&, const URL& archive) override {
        record("removed " + shortName(archive));
    }
    void onArchiveCompressed(const FileRotationLogger&, const URL& archive,
                             const URL& gzip) override {
        record("compressed " + shortName(archive) + " " + shortName(gzip));
    }
    void onCompressedArchiveRemoved(const FileRotationLogger&, const URL& gzip) override {
        record("gzip removed " + shortName(gzip));
    }
    std::vector<std::string> calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    void record(std::string call) {
        const std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

std::string gunzip(const std::string& compressed) {
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, 31), Z_OK);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    std::string restored;
    char buffer[1 << 14];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        restored.append(buffer, sizeof buffer - stream.avail_out);
    }
    EXPECT_EQ(status, Z_STREAM_END);
    EXPECT_EQ(stream.avail_in, 0U) << "one gzip member only";
    inflateEnd(&stream);
    return restored;
}

class RotationTest : public ::testing::Test {
protected:
    std::shared_ptr<FileRotationLogger> makeLogger(RotationConfig config, bool compress,
                                                   const std::string& name = "audit.log") {
        return std::make_shared<FileRotationLogger>("com.vorla.audit", LogLevel::trace, nullptr,
                                                    URL::fileURL(folder_.path(name)), "640", config,
                                                    delegate_, compress, files_, reporter_);
    }
    // Files of the folder, sorted, with the log's own name shortened to "log".
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
            std::string name = entry.path().filename().string();
            if (name.starts_with("audit.log")) {
                name = "log" + name.substr(9);
            }
            result.push_back(name);
        }
        std::sort(result.begin(), result.end());
        return result;
    }
    // A file aged by `age` seconds before now, so that listings order it.
    void place(const std::string& name, const std::string& contents, int age) {
        std::ofstream(folder_.path(name)) << contents;
        testing::setModificationDate(folder_.path(name),
                                     foundation::now() - std::chrono::seconds(age));
    }
    // What the sink reported while the action ran, a line each, as standard output shows it.
    std::string reported(const std::function<void()>& action) {
        const std::size_t before = reporter_->messages().size();
        action();
        const auto messages = reporter_->messages();
        std::string text;
        for (std::size_t index = before; index < messages.size(); ++index) {
            text += messages[index].substr(messages[index].find(": ") + 2) + "\n";
        }
        return text;
    }
    std::vector<std::string> calls() const { return delegate_->calls(); }
    // The path of a file as names() shows it.
    std::string pathOf(const std::string& shortName) const {
        return folder_.path(shortName.starts_with("log") ? "audit.log" + shortName.substr(3)
                                                         : shortName);
    }

    TemporaryFolder folder_;
    TemporaryFolder outsideSecret_;
    std::shared_ptr<FailingFileManager> files_ = std::make_shared<FailingFileManager>();
    std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
    std::shared_ptr<testing::RecordingReporter> reporter_ =
        std::make_shared<testing::RecordingReporter>();
};

struct RotationRow {
    const char* name = "";
    RotationConfig config{Suffix::numbering, 0, 0};
    std::vector<std::tuple<std::string, std::string, int>> existing = {}; // name, contents, age
    std::vector<std::string> lines = {};
    std::vector<std::string> files = {};
    std::vector<std::string> calls = {};
    std::map<std::string, std::string> contents = {};
};

TEST_F(RotationTest, RotationTable) {
    const std::string sixty(60, 'x');
    const std::vector<RotationRow> rows = {
        {.name = "below the limit",
         .config = {Suffix::numbering, 100, 3},
         .lines = {sixty},
         .files = {"log"},
         .contents = {{"log", sixty + "\r\n"}}},
        {.name = "exactly the limit stays",
         .config = {Suffix::numbering, 62, 3},
         .lines = {sixty},
         .files = {"log"}},
        {.name = "second line rotates",
         .config = {Suffix::numbering, 100, 3},
         .lines = {sixty, sixty},
         .files = {"log", "log.1"},
         .calls = {"archived log log.1"},
         .contents = {{"log", ""}, {"log.1", sixty + "\r\n" + sixty + "\r\n"}}},
        {.name = "shift and prune",
         .config = {Suffix::numbering, 1, 3},
         .existing = {{"audit.log.1", "one", 10},
                      {"audit.log.2", "two", 20},
                      {"audit.log.3", "three", 30}},
         .lines = {"live"},
         .files = {"log", "log.1", "log.2", "log.3"},
         .calls = {"archived log log.1", "removed log.4"},
         .contents = {{"log.1", "live\r\n"}, {"log.2", "one"}, {"log.3", "two"}}},
        {.name = "a backup counts as an archive",
         .config = {Suffix::numbering, 1, 1},
         .existing = {{"audit.log.bak", "bak", 10}},
         .lines = {"live"},
         .files = {"log", "log.1"},
         .calls = {"archived log log.1", "removed log.2"},
         .contents = {{"log.1", "live\r\n"}}},
        {.name = "keep none",
         .config = {Suffix::numbering, 1, 0},
         .lines = {"live"},
         .files = {"log"},
         .calls = {"archived log log.1", "removed log.1"}},
        {.name = "other logs are left alone",
         .config = {Suffix::numbering, 1, 0},
         .existing = {{"access.log.1", "a", 50}, {"access.log.1714557600.gzip", "g", 50}},
         .lines = {"live"},
         .files = {"access.log.1", "access.log.1714557600.gzip", "log"},
         .calls = {"archived log log.1", "removed log.1"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
            std::filesystem::remove_all(entry.path());
        }
        delegate_ = std::make_shared<RecordingDelegate>();
        for (const auto& [name, contents, age] : row.existing) {
            place(name, contents, age);
        }
        const auto logger = makeLogger(row.config, false);
        const std::string report = reported([&] {
            for (const auto& line : row.lines) {
                logger->log(LogLevel::info, line);
            }
        });
        EXPECT_EQ(report, "");
        EXPECT_EQ(names(), row.files);
        EXPECT_EQ(calls(), row.calls);
        for (const auto& [name, contents] : row.contents) {
            EXPECT_EQ(readFile(pathOf(name)), contents) << name;
        }
    }
}

TEST_F(RotationTest, ATakenNumberDefersArchivingToTheNextLine) {
    place("audit.log.1", "older", 20);
    place("audit.log.3", "newer", 10);
    const auto logger = makeLogger({Suffix::numbering, 1, 5}, false);
    const std::string report = reported([&] { logger->log(LogLevel::info, "a"); });
    EXPECT_TRUE(report.starts_with("error in archiving the target file, error: ")) << report;
    EXPECT_EQ(names(), (std::vector<std::string>{"log", "log.1", "log.2"}));
    EXPECT_EQ(readFile(folder_.path("audit.log")), "a\r\n");

    EXPECT_EQ(reported([&] { logger->log(LogLevel::info, "b"); }), "");
    EXPECT_EQ(names(), (std::vector<std::string>{"log", "log.1", "log.2", "log.3"}));
    EXPECT_EQ(readFile(folder_.path("audit.log.1")), "a\r\nb\r\n");
    EXPECT_EQ(readFile(folder_.path("audit.log.2")), "newer");
    EXPECT_EQ(readFile(folder_.path("audit.log.3")), "older");
    EXPECT_EQ(calls(), (std::vector<std::string>{"archived log log.1"}));
}

TEST_F(RotationTest, DatedArchivesAndTheirGzipFiles) {
    const auto logger = makeLogger({Suffix::date_uuid, 1, 5}, true);
    logger->log(LogLevel::info, "first");
    bounded::run("the archive compressions", dispatch::drain);
    const auto all = calls();
    ASSERT_EQ(all.size(), 2U);
    EXPECT_TRUE(testing::matchesShape(
        all[0], "archived log log.########T######Z_%%%%%%%%-%%%%-%%%%-%%%%-%%%%%%%%%%%%"))
        << all[0];
    const std::string archive = all[0].substr(all[0].rfind(' ') + 1);
    EXPECT_TRUE(testing::matchesShape(all[1], "compressed " + archive + " log.##########.gzip"))
        << all[1];
    const auto gzip = all[1].substr(all[1].rfind(' ') + 1);
    EXPECT_EQ(gunzip(readFile(pathOf(gzip))), "first\r\n");
    struct stat status {};
    ::stat(pathOf(gzip).c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0640U) << "as private as the log";
}

TEST_F(RotationTest, GzipFilesOfOneSecondGetDistinctNames) {
    const auto logger = makeLogger({Suffix::numbering, 1, 10}, true);
    for (const char* line : {"one", "two", "three"}) {
        logger->log(LogLevel::info, line);
    }
    bounded::run("the archive compressions", dispatch::drain);
    std::multiset<std::string> restored;
    for (const auto& name : names()) {
        if (name.ends_with(".gzip")) {
            EXPECT_TRUE(name.starts_with("log.")) << name;
            restored.insert(gunzip(readFile(pathOf(name))));
        }
    }
    EXPECT_EQ(restored, (std::multiset<std::string>{"one\r\n", "two\r\n", "three\r\n"}));
}

TEST_F(RotationTest, OnlyThisLogsGzipFilesArePruned) {
    place("access.log.100.gzip", "a", 300);
    place("audit.log.100.gzip", "old", 200);
    place("audit.log.200.gzip", "newer", 100);
    const auto logger = makeLogger({Suffix::numbering, 1, 1}, true);
    logger->log(LogLevel::info, "live");
    bounded::run("the archive compressions", dispatch::drain);
    const auto all = calls();
    ASSERT_EQ(all.size(), 3U);
    EXPECT_EQ(all[0], "archived log log.1");
    EXPECT_EQ(all[1], "gzip removed log.100.gzip");
    EXPECT_TRUE(all[2].starts_with("compressed log.1 log.")) << all[2];
    const auto left = names();
    const std::string gzip = all[2].substr(all[2].rfind(' ') + 1);
    EXPECT_EQ(std::set<std::string>(left.begin(), left.end()),
              (std::set<std::string>{"access.log.100.gzip", "log", "log.200.gzip", gzip}));
}

// Only regular files are records: whatever else stands in the folder under an archive's name
// is never renamed, pruned or written through, and a link at the log path makes way for a new
// log.
TEST_F(RotationTest, EntriesThatAreNoRegularFilesAreLeftAlone) {
    const TemporaryFolder outside;
    const std::string victim = outside.write("victim", "precious");
    std::filesystem::create_directory(folder_.path("audit.log.bak"));
    folder_.write("audit.log.bak/inside", "kept");
    std::filesystem::create_symlink(victim, folder_.path("audit.log.2"));
    ASSERT_EQ(::mkfifo(folder_.path("audit.log.3").c_str(), 0600), 0);
    const auto logger = makeLogger({Suffix::numbering, 1, 0}, false);
    logger->log(LogLevel::info, "live");
    EXPECT_EQ(names(), (std::vector<std::string>{"log", "log.2", "log.3", "log.bak"}));
    EXPECT_EQ(readFile(folder_.path("audit.log.bak/inside")), "kept");
    EXPECT_EQ(calls(), (std::vector<std::string>{"archived log log.1", "removed log.1"}));

    // Root's own link at the log's name is the administrator's: used never, moved never.
    std::filesystem::remove(folder_.path("audit.log"));
    std::filesystem::create_symlink(victim, folder_.path("audit.log"));
    const std::string report = reported([&] { logger->log(LogLevel::info, "diverted?"); });
    EXPECT_TRUE(report.starts_with("error in appending data in a file, error: " +
                                   folder_.path("audit.log") + " is a symbolic link"))
        << report;
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_TRUE(std::filesystem::is_symlink(folder_.path("audit.log")));
    EXPECT_EQ(names(), (std::vector<std::string>{"log", "log.2", "log.3", "log.bak"}));
}

// Archives of one modification time (a coarse clock, a copy) keep their age order: a higher
// number is older, and so is an earlier gzip stamp. Doubled slashes in the path change nothing.
TEST_F(RotationTest, EqualTimesKeepTheOrderOfTheNames) {
    const auto placeAtOneTime = [this](std::initializer_list<const char*> names) {
        for (const char* name : names) {
            std::ofstream(folder_.path(name)) << name;
            testing::setModificationDate(folder_.path(name),
                                         foundation::Date(std::chrono::hours(1)));
        }
    };
    placeAtOneTime({"audit.log.10", "audit.log.9", "audit.log.2", "audit.log.1"});
    makeLogger({Suffix::numbering, 1, 3}, false, "/audit.log")->log(LogLevel::info, "live");
    EXPECT_EQ(calls(),
              (std::vector<std::string>{"archived log log.1", "removed log.5", "removed log.4"}));
    EXPECT_EQ(readFile(folder_.path("audit.log.2")), "audit.log.1");
    EXPECT_EQ(readFile(folder_.path("audit.log.3")), "audit.log.2");

    std::filesystem::remove_all(folder_.path());
    std::filesystem::create_directory(folder_.path());
    delegate_ = std::make_shared<RecordingDelegate>();
    placeAtOneTime({"audit.log.200.gzip", "audit.log.100_2.gzip", "audit.log.100.gzip"});
    makeLogger({Suffix::numbering, 1, 2}, true)->log(LogLevel::info, "live");
    bounded::run("the archive compressions", dispatch::drain);
    const auto all = calls();
    ASSERT_EQ(all.size(), 3U) << ::testing::PrintToString(all);
    EXPECT_EQ(all[1], "gzip removed log.100.gzip");
}

TEST_F(RotationTest, WithoutCompressionGzipFilesAreLeftAlone) {
    place("audit.log.100.gzip", "g", 50);
    const auto logger = makeLogger({Suffix::numbering, 1, 0}, false);
    logger->log(LogLevel::info, "live");
    EXPECT_EQ(names(), (std::vector<std::string>{"log", "log.100.gzip"}));
}

// A run killed while it compressed leaves a temporary file and an archive; the next start
// removes the one and compresses the other, and says so.
TEST_F(RotationTest, InterruptedWorkIsFinishedAtTheNextStart) {
    place(".audit.log.100.gzip.tmp-AbC123", "torn", 20);
    place(".audit.log.tmp-XyZ789", "", 20);
    place(".access.log.tmp-AbC123", "another log's", 20);
    place("audit.log.1", "archived", 20);
    auto reporter = std::make_shared<testing::RecordingReporter>();
    const auto logger = std::make_shared<FileRotationLogger>(
        "com.vorla.audit", LogLevel::trace, nullptr, URL::fileURL(folder_.path("audit.log")), "640",
        RotationConfig{Suffix::numbering, 1024, 5}, delegate_, true, files_, reporter);
    logger->finishInterruptedWork();
    bounded::run("the archive compressions", dispatch::drain);
    const auto left = names();
    ASSERT_EQ(left.size(), 3U) << ::testing::PrintToString(left);
    EXPECT_EQ(left[0], ".access.log.tmp-AbC123");
    EXPECT_EQ(left[1], "log");
    EXPECT_EQ(gunzip(readFile(pathOf(left[2]))), "archived");
    const auto messages = reporter->messages();
    EXPECT_EQ(
        std::set<std::string>(messages.begin(), messages.end()),
        (std::set<std::string>{
            "notice: removed the unfinished file file://" +
                folder_.path(".audit.log.100.gzip.tmp-AbC123"),
            "notice: removed the unfinished file file://" + folder_.path(".audit.log.tmp-XyZ789"),
            "notice: compressing 1 archives of file://" + folder_.path("audit.log") +
                " that an earlier run left uncompressed"}));
}

// A folder that cannot be listed, or an archive whose date cannot be read, leaves shifting with
// nothing to do: <log>.1 stays, so archiving fails as well, and the live file keeps its line.
TEST_F(RotationTest, UnreadableListingsOnlyPostponeRetention) {
    const std::string folder = folder_.path();
    for (const auto& [name, fail] : std::vector<std::pair<std::string, std::function<void()>>>{
             {"listing", [&] { files_->failList = failTimes(folder, 2); }},
             {"date", [&] { files_->failAttributes = failTimes("audit.log.1", 2); }}}) {
        SCOPED_TRACE(name);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        delegate_ = std::make_shared<RecordingDelegate>();
        place("audit.log.1", "old", 10);
        const auto logger = makeLogger({Suffix::numbering, 1, 0}, false);
        fail();
        const std::string report = reported([&] { logger->log(LogLevel::info, "a"); });
        EXPECT_EQ(report.find("error in ascArchivedFileURLs, error: injected failure"), 0U)
            << report;
        EXPECT_NE(report.find("error in archiving the target file, error: "), std::string::npos);
        EXPECT_EQ(calls(), std::vector<std::string>());
        EXPECT_EQ(readFile(folder_.path("audit.log")), "a\r\n");
        files_->failList = nullptr;
        files_->failAttributes = nullptr;
    }
    files_->failList = failTimes(folder, 1);
    makeLogger({Suffix::numbering, 1, 0}, true)->finishInterruptedWork();
    EXPECT_EQ(reporter_->messages().back().find(
                  "failure: error in finishing interrupted work, error: injected failure"),
              0U);
}

TEST_F(RotationTest, AFailedShiftLosesNoLine) {
    place("audit.log.1", "old", 10);
    const auto logger = makeLogger({Suffix::numbering, 1, 5}, false);
    files_->failMove = failTimes("audit.log.2", 1);
    const std::string report = reported([&] { logger->log(LogLevel::info, "a"); });
    EXPECT_NE(report.find("error in rotating old archive files, error: "), std::string::npos);
    EXPECT_NE(report.find("error in archiving the target file, error: "), std::string::npos);
    EXPECT_EQ(readFile(folder_.path("audit.log")), "a\r\n");

    EXPECT_EQ(reported([&] { logger->log(LogLevel::info, "b"); }), "");
    EXPECT_EQ(readFile(folder_.path("audit.log.1")), "a\r\nb\r\n");
    EXPECT_EQ(readFile(folder_.path("audit.log.2")), "old");
}

TEST_F(RotationTest, AFailedArchiveMoveIsRetriedByTheNextLine) {
    const auto logger = makeLogger({Suffix::numbering, 3, 5}, false);
    files_->failMove = failTimes("audit.log.1", 1);
    reported([&] {
        logger->log(LogLevel::info, "a");
        logger->log(LogLevel::info, "b");
    });
    EXPECT_EQ(readFile(folder_.path("audit.log")), "a\r\nb\r\n");
    logger->log(LogLevel::info, "c");
    EXPECT_EQ(names(), (std::vector<std::string>{"log", "log.1"}));
    EXPECT_EQ(readFile(folder_.path("audit.log.1")), "a\r\nb\r\nc\r\n");
}

TEST_F(RotationTest, AFailedRemovalLeavesTheSurplusForLater) {
    place("audit.log.1", "old", 10);
    const auto logger = makeLogger({Suffix::numbering, 1, 1}, false);
    files_->failRemove = failTimes("audit.log.2", 1);
    const std::string report = reported([&] { logger->log(LogLevel::info, "a"); });
    EXPECT_TRUE(report.starts_with("error in removing extra archived files, error: "));
    EXPECT_EQ(names(), (std::vector<std::string>{"log", "log.1", "log.2"}));
    logger->log(LogLevel::info, "b");
    EXPECT_EQ(names(), (std::vector<std::string>{"log", "log.1"}));
    EXPECT_EQ(readFile(folder_.path("audit.log.1")), "b\r\n");
}

TEST_F(RotationTest, AnUncreatableLogFileLosesNoLine) {
    const auto logger = makeLogger({Suffix::numbering, 1, 5}, false);
    files_->failCreate = failTimes("audit.log", 2);
    const std::string report = reported([&] {
        logger->log(LogLevel::info, "a");
        logger->log(LogLevel::info, "b");
    });
    // The new log is made before the old one makes way: without it the old one stays.
    EXPECT_EQ(report, "error in openFile while rotating, error: failed to create a file: file://" +
                          folder_.path("audit.log") + "\n");
    EXPECT_EQ(readFile(folder_.path("audit.log")), "a\r\nb\r\n");
    logger->log(LogLevel::info, "c");
    EXPECT_EQ(names(), (std::vector<std::string>{"log", "log.1"}));
    EXPECT_EQ(readFile(folder_.path("audit.log.1")), "a\r\nb\r\nc\r\n");
}

TEST_F(RotationTest, ALogRemovedUnderTheSinkStartsAgain) {
    const auto logger = makeLogger({Suffix::numbering, 1000, 5}, false);
    logger->log(LogLevel::info, "before");
    std::filesystem::remove(folder_.path("audit.log"));
    logger->log(LogLevel::info, "after");
    EXPECT_EQ(readFile(folder_.path("audit.log")), "after\r\n");
    struct stat status {};
    ::stat(folder_.path("audit.log").c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0640U);
}

TEST_F(RotationTest, CompressionFailuresKeepTheArchive) {
    const auto logger = makeLogger({Suffix::numbering, 1, 5}, true);
    files_->failCreate = [](const std::string& path) { return path.ends_with(".gzip"); };
    logger->log(LogLevel::info, "kept");
    bounded::run("the archive compressions", dispatch::drain);
    EXPECT_EQ(names(), (std::vector<std::string>{"log", "log.1"}));
    EXPECT_EQ(calls(), (std::vector<std::string>{"archived log log.1"}));

    files_->failCreate = nullptr;
    files_->failRemove = failTimes("audit.log.1", 1);
    logger->log(LogLevel::info, "next");
    bounded::run("the archive compressions", dispatch::drain);
    // The archive that could not be removed stays alone: no second copy in a gzip file.
    const auto left = names();
    EXPECT_EQ(std::count_if(left.begin(), left.end(),
                            [](const auto& name) { return name.ends_with(".gzip"); }),
              0);
    EXPECT_EQ(readFile(folder_.path("audit.log.1")), "next\r\n");
    EXPECT_EQ(readFile(folder_.path("audit.log.2")), "kept\r\n");
}

// Files under archive names that the sink did not make, or that others could change, are no
// records: never shifted, pruned, compressed or tidied away, while the log rotates around them.
TEST_F(RotationTest, WhatOthersPlacedBesideTheLogIsNeverTouched) {
    const TemporaryFolder outside;
    const std::string victim = outside.write("victim", "precious", std::filesystem::perms(0600));
    const struct {
        const char* name;
        mode_t mode;
        uid_t owner;
    } planted[] = {
        {"audit.log.2", 0640, 65534},
        {"audit.log.3", 0666, 0},
        {".audit.log.tmp-AbC123", 0640, 65534},
        {"audit.log.9.gzip", 0644, 65534},
    };
    std::map<std::string, std::string> before;
    for (const auto& row : planted) {
        if (row.owner != 0 && ::geteuid() != 0) {
            continue; // only root can give a file to another user
        }
        before[row.name] = folder_.write(row.name, row.name);
        ::chmod(before[row.name].c_str(), row.mode);
        if (row.owner != 0) {
            ASSERT_EQ(::chown(before[row.name].c_str(), row.owner, row.owner), 0);
        }
    }
    ASSERT_EQ(::link(victim.c_str(), folder_.path("audit.log.4").c_str()), 0);
    before["audit.log.4"] = folder_.path("audit.log.4");
    const auto logger = makeLogger({Suffix::numbering, 1, 0}, true);
    logger->finishInterruptedWork();
    for (const char* line : {"a", "b", "c"}) {
        logger->log(LogLevel::info, line);
    }
    dispatch::drain();
    for (const auto& [name, path] : before) {
        EXPECT_EQ(readFile(path), name == "audit.log.4" ? "precious" : name) << name;
    }
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(calls().size(), 6U) << ::testing::PrintToString(calls());
}

// The log's name holds a file at every step of a rotation and of a set-aside, so nobody else can
// take it in between; on a file system that cannot exchange names the rotation still works.
TEST_F(RotationTest, TheLogsNameNeverStandsFree) {
    const std::string log = folder_.path("audit.log");
    std::vector<std::string> free;
    const auto watch = [&](const char* step) {
        return [&free, &log, step](const std::string&) {
            if (!std::filesystem::exists(std::filesystem::symlink_status(log))) {
                free.push_back(step);
            }
            return false;
        };
    };
    files_->failMove = watch("move");
    files_->failExchange = watch("exchange");
    files_->failRemove = watch("remove");
    const auto logger = makeLogger({Suffix::numbering, 1, 1}, false);
    files_->failCreate = watch("create");
    files_->failName = watch("name");
    for (const char* line : {"a", "b", "c"}) {
        logger->log(LogLevel::info, line);
    }
    if (::geteuid() == 0) {
        // Another user's file at the name while the sink runs.
        std::filesystem::remove(log);
        std::ofstream(log) << "theirs\r\n";
        ASSERT_EQ(::chown(log.c_str(), 65534, 65534), 0);
        logger->log(LogLevel::info, "d");
    }
    EXPECT_EQ(free, std::vector<std::string>{});
    EXPECT_EQ(readFile(folder_.path("audit.log.1")), ::geteuid() == 0 ? "d\r\n" : "c\r\n");

    files_->failExchange = [](const std::string&) { return true; };
    logger->log(LogLevel::info, "e");
    EXPECT_EQ(readFile(folder_.path("audit.log.1")), "e\r\n");
    EXPECT_EQ(readFile(log), "");
}

// A start after a rotation or set-aside that a crash interrupted knows every name it left: the
// new log that never took the name goes, the old log exchanged out of it is an archive, and what
// a set-aside exchanged out is set aside; another user's file under such a name stays.
TEST_F(RotationTest, AStartAfterAnInterruptedExchangeKeepsEveryLine) {
    place(".audit.log.tmp-Old123", "old\r\n", 30);
    place(".audit.log.tmp-New123", "", 20);
    place(".audit.log.tmp-Bad123", "forged\r\n", 20);
    ::chmod(folder_.path(".audit.log.tmp-Bad123").c_str(), 0666);
    const bool root = ::geteuid() == 0;
    if (root) {
        place(".audit.log.tmp-Not123", "theirs", 20);
        ASSERT_EQ(::chown(folder_.path(".audit.log.tmp-Not123").c_str(), 65534, 65534), 0);
    }
    const auto logger = makeLogger({Suffix::numbering, 1, 5}, false);
    const std::string report = reported([&] { logger->finishInterruptedWork(); });
    auto left = names();
    std::erase(left, ".audit.log.tmp-Not123");
    ASSERT_EQ(left.size(), 3U) << ::testing::PrintToString(left);
    EXPECT_EQ(left[0], "log");
    EXPECT_TRUE(left[1].starts_with("log-untrusted-")) << left[1];
    EXPECT_EQ(readFile(pathOf(left[1])), "forged\r\n");
    EXPECT_EQ(left[2], "log.1");
    EXPECT_EQ(readFile(folder_.path("audit.log.1")), "old\r\n");
    if (root) {
        EXPECT_EQ(readFile(folder_.path(".audit.log.tmp-Not123")), "theirs");
    }
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 3) << report;
    logger->log(LogLevel::info, "new");
    EXPECT_EQ(readFile(folder_.path("audit.log.2")), "old\r\n");
    EXPECT_EQ(readFile(folder_.path("audit.log.1")), "new\r\n");
}

// Another user's entry at a name that a rotation needs (<log>.1, or the number an archive is
// shifted to) makes way with one report, so the size limit holds.
TEST_F(RotationTest, AnotherUsersEntryAtAnArchiveNameMakesWay) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give an entry to another user";
    }
    const struct {
        const char* name;
        const char* planted;
        bool folder;
        std::vector<std::string> lines;
    } rows[] = {
        {"a file at <log>.1", "audit.log.1", false, {"a", "b"}},
        {"a folder at <log>.1", "audit.log.1", true, {"a", "b"}},
        {"a file at <log>.2", "audit.log.2", false, {"a", "b", "c"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(folder_.path());
        std::filesystem::create_directory(folder_.path());
        const std::string planted = folder_.path(row.planted);
        if (row.folder) {
            std::filesystem::create_directory(planted);
        } else {
            std::ofstream(planted) << "theirs";
        }
        ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
        const auto logger = makeLogger({Suffix::numbering, 1, 5}, false);
        const std::string report = reported([&] {
            for (const std::string& line : row.lines) {
                logger->log(LogLevel::info, line);
            }
        });
        EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
        EXPECT_TRUE(report.starts_with("set aside file://" + planted + " as file://" + planted +
                                       "-untrusted-"))
            << report;
        EXPECT_EQ(readFile(folder_.path("audit.log")), "");
        EXPECT_EQ(readFile(folder_.path("audit.log.1")), row.lines.back() + "\r\n");
    }
}

// A rotation that something other than an archive blocks (a folder of root's at <log>.1) keeps
// every line in the live log and is told once, not after every line; cleared and blocked again
// later, it is told again.
TEST_F(RotationTest, ABlockedRotationIsToldOnce) {
    std::filesystem::create_directory(folder_.path("audit.log.1"));
    const auto logger = makeLogger({Suffix::numbering, 1, 5}, false);
    const auto logLines = [&](std::initializer_list<const char*> lines) {
        return reported([&] {
            for (const char* line : lines) {
                logger->log(LogLevel::info, line);
            }
        });
    };
    std::string report = logLines({"a", "b", "c", "d"});
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
    EXPECT_TRUE(report.starts_with("error in archiving the target file, error: ")) << report;
    EXPECT_EQ(readFile(folder_.path("audit.log")), "a\r\nb\r\nc\r\nd\r\n");

    std::filesystem::remove(folder_.path("audit.log.1"));
    EXPECT_EQ(logLines({"e"}), "");
    // The archive made now stays at <log>.1 when a folder takes the number it would shift to.
    std::filesystem::create_directory(folder_.path("audit.log.2"));
    report = logLines({"f", "g"});
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
    EXPECT_TRUE(report.starts_with("error in archiving the target file, error: ")) << report;
    EXPECT_EQ(readFile(folder_.path("audit.log")), "f\r\ng\r\n");
}

// The log's folder removed under the sink is made again, and the log in it, for the next line.
TEST_F(RotationTest, ARemovedLogFolderIsMadeAgain) {
    const auto logger = makeLogger({Suffix::numbering, 1, 5}, false);
    logger->log(LogLevel::info, "a");
    std::filesystem::remove_all(folder_.path());
    const std::string report = reported([&] {
        logger->log(LogLevel::info, "b");
        logger->log(LogLevel::info, "c");
    });
    EXPECT_EQ(report, "");
    EXPECT_EQ(names(), (std::vector<std::string>{"log", "log.1", "log.2"}));
    EXPECT_EQ(readFile(folder_.path("audit.log.2")), "b\r\n");
    EXPECT_EQ(readFile(folder_.path("audit.log.1")), "c\r\n");
}

// The folder is listed once; afterwards the sink knows its records, so a rotation costs the
// same whatever else the folder holds.
TEST_F(RotationTest, RotationsListTheFolderOnce) {
    place("audit.log.7", "older", 20);
    int listings = 0;
    files_->failList = [&listings](const std::string&) {
        ++listings;
        return false;
    };
    const auto logger = makeLogger({Suffix::numbering, 1, 2}, true);
    logger->finishInterruptedWork();
    for (int line = 0; line < 20; ++line) {
        logger->log(LogLevel::info, std::to_string(line));
    }
    bounded::run("the archive compressions", dispatch::drain);
    EXPECT_EQ(listings, 3) << "the start's two looks for temporary files, the records once";
    EXPECT_LE(names().size(), 4U) << ::testing::PrintToString(names());
}

// An archive is compressed only as the file that was checked: one descriptor, no link
// followed, within the size a rotation makes; its gzip copy is never more open than the log.
TEST_F(RotationTest, CompressionReadsOnlyTheArchiveItChecked) {
    const std::string setId = folder_.write("audit.log.1", "archived");
    ::chmod(setId.c_str(), 06750);
    const std::string huge = folder_.path("audit.log.2");
    std::ofstream(huge).close();
    std::filesystem::resize_file(huge, (std::uint64_t{64} << 20) + 1024 + 1);
    testing::setModificationDate(huge, foundation::now() - std::chrono::hours(1));
    const auto logger = makeLogger({Suffix::numbering, 1024, 5}, true);
    logger->finishInterruptedWork();
    dispatch::drain();
    const auto left = names();
    ASSERT_EQ(left.size(), 3U) << ::testing::PrintToString(left);
    EXPECT_EQ(left[2], "log.2");
    ASSERT_TRUE(left[1].ends_with(".gzip"));
    EXPECT_EQ(gunzip(readFile(pathOf(left[1]))), "archived");
    EXPECT_EQ(std::filesystem::status(pathOf(left[1])).permissions(), std::filesystem::perms(0640));
    const auto messages = reporter_->messages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [&](const auto& message) {
                                return message == "failure: did not compress file://" + huge +
                                                      ": " + huge +
                                                      " is larger than 67109888 bytes";
                            }),
              1)
        << ::testing::PrintToString(messages);

    // Swapping the archive's name with a link to a secret, as fast as it goes, while the
    // archive is compressed: no gzip file ever holds the secret.
    const std::string secret =
        outsideSecret_.write("secret", "SECRET", std::filesystem::perms(0600));
    std::atomic<bool> done{false};
    std::thread swapper([&] {
        const int at = ::open(folder_.path().c_str(), O_RDONLY | O_DIRECTORY);
        while (!done) {
            ::renameat2(at, "audit.log.1", at, "bait", RENAME_EXCHANGE);
        }
        ::close(at);
    });
    for (int round = 0; round < 200; ++round) {
        std::filesystem::remove(folder_.path("bait"));
        std::filesystem::remove(folder_.path("audit.log.1"));
        std::filesystem::create_symlink(secret, folder_.path("bait"));
        folder_.write("audit.log.1", "archived");
        logger->finishInterruptedWork();
        dispatch::drain();
    }
    done = true;
    swapper.join();
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
        if (entry.path().string().ends_with(".gzip")) {
            EXPECT_EQ(gunzip(readFile(entry.path().string())), "archived") << entry.path();
        }
    }
    EXPECT_EQ(readFile(secret), "SECRET");
}

// Nothing relies on a folder's names before they are on storage: when the folder's fsync fails
// after the renames, nothing is pruned; when it fails after a gzip copy took its name, the
// archive stays and the copy goes. One report each.
TEST_F(RotationTest, AFailedFolderSynchronisationStopsWhatReliesOnIt) {
    const struct {
        const char* name;
        std::uint8_t kept;
        int failedSync; // the folder's fsyncs of one rotation: renames and new log, gzip copy
        const char* report;
    } rows[] = {
        {"after the renames", 0, 1, "error in synchronizing the log folder"},
        {"after the gzip copy", 1, 2, "did not compress file://"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(folder_.path());
        std::filesystem::create_directory(folder_.path());
        files_ = std::make_shared<FailingFileManager>();
        const auto logger = makeLogger({Suffix::numbering, 1, row.kept}, true);
        files_->failFolderSync = testing::failCall("", row.failedSync);
        const std::string report = reported([&] {
            logger->log(LogLevel::info, "kept");
            dispatch::drain();
        });
        EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
        EXPECT_TRUE(report.starts_with(row.report)) << report;
        EXPECT_EQ(names(), (std::vector<std::string>{"log", "log.1"}));
        EXPECT_EQ(readFile(folder_.path("audit.log.1")), "kept\r\n");
    }
}

// A start after a stop between a gzip copy and its archive's removal removes the archive
// instead of compressing it again, so no line is stored twice; a gzip file of the same age that
// holds other bytes is no copy of it. A copy keeps its archive's age.
TEST_F(RotationTest, AnArchiveThatWasCompressedAlreadyIsRemovedAtTheStart) {
    const auto age = foundation::now() - std::chrono::hours(2);
    const auto placeAged = [&](const std::string& name, const std::string& contents) {
        folder_.write(name, contents);
        testing::setModificationDate(folder_.path(name), age);
    };
    placeAged("audit.log.1", "archived\r\n");
    placeAged("audit.log.1714557600.gzip", *gzipCompress("archived\r\n"));
    placeAged("audit.log.2", "older\r\n");
    placeAged("audit.log.1714557000.gzip", *gzipCompress("other\r\n"));
    const auto logger = makeLogger({Suffix::numbering, 1024, 5}, true);
    logger->finishInterruptedWork();
    dispatch::drain();
    const auto left = names();
    ASSERT_EQ(left.size(), 4U) << ::testing::PrintToString(left);
    EXPECT_EQ(left[1], "log.1714557000.gzip");
    EXPECT_EQ(left[2], "log.1714557600.gzip");
    EXPECT_EQ(gunzip(readFile(pathOf(left[3]))), "older\r\n");
    EXPECT_EQ(std::filesystem::last_write_time(pathOf(left[3])),
              std::filesystem::last_write_time(pathOf(left[2])))
        << "the copy is as old as its archive";
    const auto messages = reporter_->messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "notice: removed file://" + folder_.path("audit.log.1") +
                            ", which file://" + folder_.path("audit.log.1714557600.gzip") +
                            " holds already"),
              messages.end())
        << ::testing::PrintToString(messages);
    EXPECT_EQ(calls(), (std::vector<std::string>{"compressed log.2 " + left[3]}));
}

// Many lines through a tiny limit with compression: what the log keeps is its newest lines,
// each once, in order, without a gap, and every gzip file holds exactly one archive.
TEST_F(RotationTest, StressKeepsTheNewestLinesWithoutGaps) {
    constexpr int lineCount = 3000;
    constexpr int kept = 40;
    const auto logger = makeLogger({Suffix::numbering, 120, kept}, true);
    for (int index = 0; index < lineCount; ++index) {
        logger->log(LogLevel::info, "line-" + std::to_string(index));
    }
    bounded::run("the archive compressions", dispatch::drain);

    std::vector<std::vector<int>> records;
    int gzipCount = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
        const std::string path = entry.path().string();
        std::string contents = readFile(path);
        if (path.ends_with(".gzip")) {
            ++gzipCount;
            contents = gunzip(contents);
            EXPECT_FALSE(contents.empty()) << path;
        }
        std::vector<int> numbers;
        for (std::size_t start = 0; start < contents.size();) {
            const auto end = contents.find("\r\n", start);
            ASSERT_NE(end, std::string::npos) << path;
            const std::string line = contents.substr(start, end - start);
            ASSERT_TRUE(line.starts_with("line-")) << line;
            numbers.push_back(std::stoi(line.substr(5)));
            start = end + 2;
        }
        for (std::size_t index = 1; index < numbers.size(); ++index) {
            EXPECT_EQ(numbers[index], numbers[index - 1] + 1) << path;
        }
        if (!numbers.empty()) {
            records.push_back(numbers);
        }
    }
    EXPECT_LE(gzipCount, kept + 1);
    std::sort(records.begin(), records.end());
    std::vector<int> all;
    for (const auto& record : records) {
        all.insert(all.end(), record.begin(), record.end());
    }
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back(), lineCount - 1);
    for (std::size_t index = 1; index < all.size(); ++index) {
        ASSERT_EQ(all[index], all[index - 1] + 1) << "gap or duplicate";
    }
    EXPECT_GE(all.size(), static_cast<std::size_t>(kept * 5)) << "kept too little";
}

} // namespace
} // namespace vorla
