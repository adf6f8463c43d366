#include "SinkTestSupport.hpp"
#include "platform/dispatch/Dispatch.hpp"
#include "platform/foundation/Trust.hpp"
#include "sinks/ArchiveCompression.hpp"
#include "sinks/FileRotationLogger.hpp"
#include "tests/support/BoundedWait.hpp"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vorla {
namespace {

using foundation::URL;
using testing::TemporaryFolder;
using Suffix = RotationConfig::SuffixExtension;

// A copy may be read by whom both its log and its archive may be read by and written by its
// owner alone, whatever the log's permission text lets others do, and a umask that would narrow
// it changes nothing.
TEST(ArchiveCompressionTest, ACopyIsNeverMoreOpenThanItsLogOrArchiveNorWritableByOthers) {
    const struct {
        std::uint16_t logBits;
        mode_t archiveMode;
        std::uint16_t copyMode;
    } rows[] = {
        {0640, 0640, 0640}, {0666, 0666, 0644}, {0777, 0777, 0755},
        {0640, 0600, 0600}, {0600, 0644, 0600}, {0660, 06770, 0640},
    };
    const TemporaryFolder root;
    const auto& files = *foundation::FileManager::defaultManager();
    const foundation::Folder folder = files.openFolder(URL::fileURL(root.path(), true), {});
    for (const auto& row : rows) {
        SCOPED_TRACE("archive " + foundation::octalPermissions(row.archiveMode) + ", log " +
                     foundation::octalPermissions(row.logBits));
        ::chmod(root.write("audit.log.1", "archived\r\n").c_str(), row.archiveMode);
        const mode_t previous = ::umask(077);
        const auto copy = writeCompressedCopy(files, folder, "audit.log.1", row.logBits, 1024);
        ::umask(previous);
        ASSERT_TRUE(copy);
        EXPECT_EQ(files.attributesOfItem(folder, copy->name).posixPermissions, row.copyMode);
        files.removeFile(folder, copy->name);
    }
}

void writeArchive(const std::string& path) {
    std::ofstream(path) << "archived";
    ::chmod(path.c_str(), 0640);
}

// Compression of an archive that an earlier run left, the folder watched through the file
// manager's seam.
class SinkCompressionTest : public ::testing::Test {
protected:
    // Places `audit.log.1`, two hours old, and finishes the sink's interrupted work on it.
    void compressArchive(const std::function<void(const std::string& path)>& make,
                         std::uint64_t maxFileSize = 1024) {
        make(folder_.path("audit.log.1"));
        testing::setModificationDate(folder_.path("audit.log.1"), archiveDate_);
        const auto logger = std::make_shared<FileRotationLogger>(
            "com.vorla.audit", LogLevel::trace, nullptr, URL::fileURL(folder_.path("audit.log")),
            "640", RotationConfig{Suffix::numbering, maxFileSize, 5},
            std::weak_ptr<FileRotationLoggerDelegate>(), true, files_, reporter_);
        logger->finishInterruptedWork();
        bounded::run("the archive compression", dispatch::drain);
    }
    std::vector<std::string> gzipFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
            if (entry.path().extension() == ".gzip") {
                names.push_back(entry.path().string());
            }
        }
        return names;
    }
    std::vector<std::string> failures() const {
        std::vector<std::string> found;
        for (const std::string& message : reporter_->messages()) {
            if (message.starts_with("failure: ")) {
                found.push_back(message);
            }
        }
        return found;
    }

    TemporaryFolder folder_;
    const foundation::Date archiveDate_ = foundation::now() - std::chrono::hours(2);
    std::shared_ptr<testing::FailingFileManager> files_ =
        std::make_shared<testing::FailingFileManager>();
    std::shared_ptr<testing::RecordingReporter> reporter_ =
        std::make_shared<testing::RecordingReporter>();
};

// An archive may exceed the log's limit by the 64 MiB of one append: one of exactly that size
// is compressed like any other.
TEST_F(SinkCompressionTest, AnArchiveOfExactlyTheBoundIsCompressed) {
    compressArchive([](const std::string& path) {
        std::ofstream(path).close();
        std::filesystem::resize_file(path, 1024 + (std::uint64_t{64} << 20));
    });
    EXPECT_EQ(failures(), std::vector<std::string>());
    EXPECT_EQ(gzipFiles().size(), 1U);
    EXPECT_FALSE(std::filesystem::exists(folder_.path("audit.log.1")));
}

// Only the file that was compressed is removed: one that took its name between the copy and
// the removal stays, and the copy goes, so each record is stored once.
TEST_F(SinkCompressionTest, TheArchiveIsRemovedOnlyWhileItsNameHoldsWhatWasCompressed) {
    const struct {
        const char* name;
        std::function<void(const TemporaryFolder& folder)> meanwhile;
        std::string archiveLeft;
        std::size_t copies;
    } rows[] = {
        {"nothing", [](const TemporaryFolder&) {}, "", 1},
        {"another file takes the name",
         [](const TemporaryFolder& folder) {
             std::filesystem::rename(folder.path("audit.log.1"), folder.path("moved"));
             folder.write("audit.log.1", "replacement", std::filesystem::perms(0640));
         },
         "replacement", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(folder_.path());
        std::filesystem::create_directory(folder_.path());
        // The folder's fsync that puts the copy's name on storage comes between the two.
        files_->failFolderSync = [this, &row, done = false](const std::string&) mutable {
            if (!done && !gzipFiles().empty()) {
                done = true;
                row.meanwhile(folder_);
            }
            return false;
        };
        compressArchive(writeArchive);
        EXPECT_EQ(std::filesystem::exists(folder_.path("audit.log.1")), !row.archiveLeft.empty());
        if (!row.archiveLeft.empty()) {
            EXPECT_EQ(folder_.read("audit.log.1"), row.archiveLeft);
        }
        EXPECT_EQ(gzipFiles().size(), row.copies);
    }
}

// Retention orders records by age: the copy carries its archive's date by the time its bytes
// reach storage, not only after.
TEST_F(SinkCompressionTest, TheCopyHasItsArchivesDateWhenItIsSynchronised) {
    std::vector<foundation::Date> datesAtSync;
    files_->failSync = [this, &datesAtSync](const std::string& path) {
        // The copy is synchronised under its temporary name, "." + its name + ".tmp-XXXXXX".
        const std::string hidden = "." + std::filesystem::path(path).filename().string() + ".tmp-";
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
            if (entry.path().filename().string().starts_with(hidden)) {
                struct stat status {};
                ::stat(entry.path().c_str(), &status);
                datesAtSync.push_back(foundation::attributesOf(status).modificationDate);
            }
        }
        return false;
    };
    compressArchive(writeArchive);
    EXPECT_EQ(datesAtSync, std::vector<foundation::Date>{archiveDate_});
    EXPECT_EQ(gzipFiles().size(), 1U);
}

} // namespace
} // namespace vorla
