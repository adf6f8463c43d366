#include "sinks/FileRotationLogger.hpp"

#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/Trust.hpp"
#include "platform/foundation/UUID.hpp"
#include "sinks/ArchiveCompression.hpp"
#include "sinks/ArchiveListing.hpp"
#include "sinks/ArchiveRetention.hpp"

#include <utility>

namespace vorla {

namespace {

// An archive is the log grown past its limit by the lines of one append: one line, with the
// lines held back before it in force mode (8 MiB at most). Anything much larger is not one of
// ours, and compressing it would take the task's time for nothing.
constexpr std::uint64_t archiveSlack = std::uint64_t{64} << 20;
// Distinct rotation failures remembered as told; past that the memory starts afresh.
constexpr std::size_t toldFailuresLimit = 16;

foundation::DateFormatter archiveDateFormat() {
    foundation::DateFormatter format;
    format.setLocale("en_US_POSIX");
    format.setDateFormat("yyyyMMdd'T'HHmmssZZZZZ");
    format.setTimeZone("UTC");
    return format;
}

bool isRecordOf(std::string_view logName, std::string_view name) {
    return isArchiveOf(logName, name) || isCompressedArchiveOf(logName, name);
}

} // namespace

FileRotationLogger::FileRotationLogger(std::string label, LogLevel logLevel,
                                       std::shared_ptr<const LogFormattable> logFormat,
                                       foundation::URL fileURL, std::string filePermission,
                                       RotationConfig rotationConfig,
                                       std::weak_ptr<FileRotationLoggerDelegate> delegate,
                                       bool compressArchived,
                                       std::shared_ptr<const foundation::FileManager> fileManager,
                                       std::shared_ptr<const SinkReporter> reporter)
    : FileLoggerable(std::move(label), logLevel, std::move(logFormat), std::move(fileURL),
                     std::move(filePermission), std::move(fileManager), std::move(reporter)),
      compressArchived_(compressArchived), rotationConfig_(rotationConfig),
      delegate_(std::move(delegate)), dateFormat_(archiveDateFormat()),
      compressions_(std::make_shared<CompressionChain>()) {}

void FileRotationLogger::log(LogLevel, std::string_view string) const {
    rotateIfNeeded(appendLine(string, FlushMode::always, FileWritingErrorHandlingMode::force));
}

void FileRotationLogger::finishInterruptedWork() const {
    const auto folder = this->folder();
    const std::string logName = fileURL().lastPathComponent();
    try {
        foundation::removeUnfinishedFiles(
            fileManager(), *folder,
            [&logName](std::string_view target) { return isNamedAfter(logName, target); },
            [this](const std::string& name) {
                reporter().notice("removed the unfinished file " + urlOf(name).description());
            },
            [this](const foundation::FoundationError& error) {
                reporter().failure(std::string("error in removing an unfinished file, error: ") +
                                   error.what());
            });
    } catch (const foundation::FoundationError& error) {
        reporter().failure(std::string("error in finishing interrupted work, error: ") +
                           error.what());
        return;
    }
    if (!compressArchived_) {
        return;
    }
    std::vector<std::string> waiting;
    for (ArchiveEntry& entry : listRecords(*folder, isArchiveOf)) {
        waiting.push_back(std::move(entry.name));
    }
    if (!waiting.empty()) {
        reporter().notice("compressing " + std::to_string(waiting.size()) + " archives of " +
                          fileURL().description() + " that an earlier run left uncompressed");
        startCompression(folder, std::move(waiting), true);
    }
}

foundation::URL FileRotationLogger::urlOf(std::string_view name) const {
    return fileURL().deletingLastPathComponent().appendingPathComponent(name, false);
}

std::vector<ArchiveEntry> FileRotationLogger::listRecords(const foundation::Folder& folder,
                                                          const ArchiveFilter& filter) const {
    return ascArchivedFileURLs(fileManager(), reporter(), folder, fileURL().lastPathComponent(),
                               permissionBits(), filter);
}

void FileRotationLogger::rotateIfNeeded(std::optional<std::uint64_t> size) const {
    // The size comes from the file the line was written to; none means it did not open.
    if (!size || *size <= rotationConfig_.maxFileSize) {
        return;
    }
    // Renumbering must not move an archive that is still being compressed.
    compressions_->waitForPrevious();
    const auto folder = this->folder();
    // One listing serves the whole rotation: the steps below keep it up to date themselves.
    // With compression off the log's gzip files are left alone: nothing makes new ones.
    std::vector<ArchiveEntry> records =
        listRecords(*folder, compressArchived_ ? isRecordOf : ArchiveFilter(isArchiveOf));
    shiftNumberedArchives(*folder, records);
    const auto archive = archiveCurrentFile(*folder);
    try {
        openFile();
    } catch (const FileError& error) {
        tellRotationFailure("error in openFile while rotating, error: " + error.errorDescription());
    }
    // Pruning removes names that the renames above have just vacated or will take next time:
    // it waits until the renames are on storage, so that a power cut can lose no record.
    if (!synchronizeFolder(*folder)) {
        return;
    }
    if (archive) {
        records.push_back({*archive, foundation::now(), false});
    }
    pruneArchives(*folder, records);
    if (archive && compressArchived_) {
        startCompression(folder, {*archive}, false);
    }
}

bool FileRotationLogger::synchronizeFolder(const foundation::Folder& folder) const {
    try {
        fileManager().synchronize(folder);
        return true;
    } catch (const foundation::FoundationError& error) {
        tellRotationFailure(std::string("error in synchronizing the log folder, error: ") +
                            error.what());
        return false;
    }
}

void FileRotationLogger::shiftNumberedArchives(const foundation::Folder& folder,
                                               std::vector<ArchiveEntry>& records) const {
    if (rotationConfig_.suffixExtension != RotationConfig::SuffixExtension::numbering) {
        return;
    }
    const std::string logName = fileURL().lastPathComponent();
    const auto archives = static_cast<std::size_t>(std::count_if(
        records.begin(), records.end(), [](const auto& entry) { return !entry.compressed; }));
    // The oldest gets the highest number, the newest 2: <log>.1 is kept for the new archive.
    std::size_t number = archives + 1;
    for (ArchiveEntry& entry : records) {
        if (entry.compressed) {
            continue;
        }
        std::string shifted = logName + "." + std::to_string(number--);
        if (shifted == entry.name) {
            continue;
        }
        try {
            fileManager().moveItem(folder, entry.name, shifted);
            entry.name = std::move(shifted);
        } catch (const foundation::FoundationError& error) {
            // A taken number leaves this archive where it is.
            if (error.code() == EEXIST) {
                continue;
            }
            tellRotationFailure(std::string("error in rotating old archive files, error: ") +
                                error.what());
            return;
        }
    }
}

std::string FileRotationLogger::nextArchiveName() const {
    const std::string logName = fileURL().lastPathComponent();
    if (rotationConfig_.suffixExtension == RotationConfig::SuffixExtension::numbering) {
        return logName + ".1";
    }
    return logName + "." + dateFormat_.string(foundation::now()) + "_" +
           foundation::UUID().uuidString();
}

std::optional<std::string>
FileRotationLogger::archiveCurrentFile(const foundation::Folder& folder) const {
    std::string archive = nextArchiveName();
    try {
        fileManager().moveItem(folder, fileURL().lastPathComponent(), archive);
    } catch (const foundation::FoundationError& error) {
        tellRotationFailure(std::string("error in archiving the target file, error: ") +
                            error.what());
        return std::nullopt;
    }
    toldFailures_.clear();
    if (const auto receiver = delegate()) {
        receiver->onArchived(*this, fileURL(), urlOf(archive));
    }
    return archive;
}

void FileRotationLogger::pruneArchives(const foundation::Folder& folder,
                                       const std::vector<ArchiveEntry>& records) const {
    const auto surplus =
        surplusArchives(records, rotationConfig_.maxArchivedFilesCount, compressArchived_);
    for (const ArchiveEntry& entry : surplus) {
        try {
            fileManager().removeFile(folder, entry.name);
        } catch (const foundation::FoundationError& error) {
            tellRotationFailure(std::string("error in removing extra archived files, error: ") +
                                error.what());
            break;
        }
        if (const auto receiver = delegate()) {
            if (entry.compressed) {
                receiver->onCompressedArchiveRemoved(*this, urlOf(entry.name));
            } else {
                receiver->onArchiveRemoved(*this, urlOf(entry.name));
            }
        }
    }
    // The next rotation gives the removed names out again.
    if (!surplus.empty()) {
        synchronizeFolder(folder);
    }
}

void FileRotationLogger::tellRotationFailure(const std::string& message) const {
    // A rotation that something blocks (a folder at <log>.1) fails the same way after every
    // line until it is cleared: the system log hears of it once.
    if (toldFailures_.size() >= toldFailuresLimit) {
        toldFailures_.clear();
    }
    if (toldFailures_.insert(message).second) {
        reporter().failure(message);
    }
}

void FileRotationLogger::startCompression(std::shared_ptr<const foundation::Folder> folder,
                                          std::vector<std::string> archives,
                                          bool afterInterruption) const {
    auto self = std::static_pointer_cast<const FileRotationLogger>(
        std::const_pointer_cast<const Loggerable>(weak_from_this().lock()));
    auto work = [folder, archives = std::move(archives),
                 afterInterruption](const FileRotationLogger& sink) {
        for (const std::string& archive : archives) {
            if (!afterInterruption || !sink.removeIfCompressedAlready(*folder, archive)) {
                sink.gzipArchive(*folder, archive);
            }
        }
    };
    if (!self) {
        // No owner can keep the sink alive for a background task: compress right here.
        work(*this);
        return;
    }
    compressions_->start([self = std::move(self), work = std::move(work)] { work(*self); });
}

bool FileRotationLogger::removeIfCompressedAlready(const foundation::Folder& folder,
                                                   const std::string& archive) const {
    try {
        const auto attributes = fileManager().attributesOfItem(folder, archive);
        // A copy keeps its archive's date: only gzip files of that date can hold it.
        for (const ArchiveEntry& gzip : listRecords(folder, isCompressedArchiveOf)) {
            if (gzip.modificationDate != attributes.modificationDate) {
                continue;
            }
            foundation::FileHandle copy = fileManager().openForReading(folder, gzip.name);
            foundation::FileHandle original = fileManager().openForReading(folder, archive);
            if (!original.attributes().isSameFile(attributes) || !holdsSameBytes(copy, original)) {
                continue;
            }
            fileManager().removeFile(folder, archive);
            fileManager().synchronize(folder);
            reporter().notice("removed " + urlOf(archive).description() + ", which " +
                              urlOf(gzip.name).description() + " holds already");
            return true;
        }
    } catch (const foundation::FoundationError& error) {
        tellCompressionFailure(archive, error);
    }
    return false;
}

void FileRotationLogger::gzipArchive(const foundation::Folder& folder,
                                     const std::string& archive) const {
    try {
        const auto copy = writeCompressedCopy(fileManager(), folder, archive, permissionBits(),
                                              rotationConfig_.maxFileSize + archiveSlack);
        if (!copy) {
            return;
        }
        try {
            // Only the file that was compressed goes: never what took its name meanwhile.
            if (!fileManager().attributesOfItem(folder, archive).isSameFile(copy->archive)) {
                throw foundation::FoundationError("the archive was replaced", EEXIST);
            }
            fileManager().removeFile(folder, archive);
        } catch (const foundation::FoundationError&) {
            // Keep the records single: the archive stays, its copy goes.
            fileManager().removeFile(folder, copy->name);
            return;
        }
        if (const auto receiver = delegate()) {
            receiver->onArchiveCompressed(*this, urlOf(archive), urlOf(copy->name));
        }
        // The next rotation may give the archive's name out again; a start after a power cut
        // that finds both the copy and the archive removes the archive.
        fileManager().synchronize(folder);
    } catch (const foundation::FoundationError& error) {
        tellCompressionFailure(archive, error);
    }
}

void FileRotationLogger::tellCompressionFailure(const std::string& archive,
                                                const foundation::FoundationError& error) const {
    // An archive that pruning removed first is no news.
    if (error.code() != ENOENT) {
        reporter().failure("did not compress " + urlOf(archive).description() + ": " +
                           error.what());
    }
}

} // namespace vorla
