#include "SinkTestSupport.hpp"
#include "platform/dispatch/Dispatch.hpp"
#include "sinks/ArchiveCompression.hpp"
#include "sinks/FileRotationLogger.hpp"
#include "tests/support/BoundedWait.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace vorla {
namespace {

using foundation::URL;
using testing::TemporaryFolder;

// Lines enough to fill the comparison's buffers of 64 KiB twice and then some.
std::string archiveText() {
    std::string text;
    for (int index = 0; text.size() <= 2 * 65536; ++index) {
        text += "line-" + std::to_string(index) + "\r\n";
    }
    return text;
}

// A start after a stop may find an archive beside a gzip file of its age; only a gzip file
// that holds every byte of it and nothing more is its copy. Anything short of that leaves the
// archive to be compressed again, never removed.
TEST(ArchiveRecoveryTest, OnlyAWholeCopyCountsAsTheArchivesCopy) {
    const std::string archive = archiveText();
    const std::string copy = *gzipCompress(archive);
    std::string otherLastByte = archive;
    otherLastByte.back() = 'x';
    std::string wrongChecksum = copy;
    wrongChecksum[copy.size() - 8] ^= 1;
    const struct {
        const char* name;
        std::string archive;
        std::string gzip;
        bool holds;
    } rows[] = {
        {"the whole archive", archive, copy, true},
        {"an empty archive", "", *gzipCompress(""), true},
        {"all but its last byte", archive, *gzipCompress(archive.substr(0, archive.size() - 1)),
         false},
        {"its first 64 KiB", archive, *gzipCompress(archive.substr(0, 65536)), false},
        {"its first 128 KiB", archive, *gzipCompress(archive.substr(0, 2 * 65536)), false},
        {"a byte more", archive, *gzipCompress(archive + "x"), false},
        {"another last byte", archive, *gzipCompress(otherLastByte), false},
        {"a copy cut in half", archive, copy.substr(0, copy.size() / 2), false},
        {"a copy without its trailer", archive, copy.substr(0, copy.size() - 8), false},
        {"a wrong checksum", archive, wrongChecksum, false},
        {"bytes after the copy", archive, copy + "x", false},
        {"an empty gzip file", archive, "", false},
        {"an empty gzip file of an empty archive", "", "", false},
    };
    const TemporaryFolder root;
    const auto& files = *foundation::FileManager::defaultManager();
    const foundation::Folder folder = files.openFolder(URL::fileURL(root.path(), true), {});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        root.write("archive", row.archive);
        root.write("gzip", row.gzip);
        foundation::FileHandle gzip = files.openForReading(folder, "gzip");
        foundation::FileHandle original = files.openForReading(folder, "archive");
        EXPECT_EQ(holdsSameBytes(gzip, original), row.holds);
    }
}

// What gzip itself restores from the file.
std::string gunzipped(const std::string& path) {
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(
        ::popen(("gzip -dc -- '" + path + "'").c_str(), "r"), ::pclose);
    std::string restored;
    char buffer[1 << 12];
    while (const std::size_t count = std::fread(buffer, 1, sizeof buffer, pipe.get())) {
        restored.append(buffer, count);
    }
    return restored;
}

TEST(ArchiveRecoveryTest, AnArchiveBesideACopyOfItsBeginningIsCompressedAgain) {
    const TemporaryFolder folder;
    const std::string archive = "archived\r\nand more\r\n";
    const auto age = foundation::now() - std::chrono::hours(2);
    folder.write("audit.log.1", archive, std::filesystem::perms(0640));
    folder.write("audit.log.1714557600.gzip", *gzipCompress("archived\r\n"));
    for (const char* name : {"audit.log.1", "audit.log.1714557600.gzip"}) {
        testing::setModificationDate(folder.path(name), age);
    }
    auto reporter = std::make_shared<testing::RecordingReporter>();
    const auto logger = std::make_shared<FileRotationLogger>(
        "com.vorla.audit", LogLevel::trace, nullptr, URL::fileURL(folder.path("audit.log")), "640",
        RotationConfig{RotationConfig::SuffixExtension::numbering, 1024, 5},
        std::weak_ptr<FileRotationLoggerDelegate>(), true, nullptr, reporter);
    logger->finishInterruptedWork();
    bounded::run("the archive compression", dispatch::drain);

    EXPECT_FALSE(std::filesystem::exists(folder.path("audit.log.1")));
    std::vector<std::string> restored;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        if (entry.path().extension() == ".gzip") {
            restored.push_back(gunzipped(entry.path().string()));
        }
    }
    std::sort(restored.begin(), restored.end());
    EXPECT_EQ(restored, (std::vector<std::string>{archive.substr(0, 10), archive}));
    for (const std::string& message : reporter->messages()) {
        EXPECT_EQ(message.find("holds already"), std::string::npos) << message;
    }
}

} // namespace
} // namespace vorla
