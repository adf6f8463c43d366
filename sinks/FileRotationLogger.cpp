#include "sinks/FileRotationLogger.hpp"

#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/UUID.hpp"
#include "sinks/ArchiveListing.hpp"
#include "sinks/ArchiveRetention.hpp"

#include <utility>

namespace vorla {

namespace {

foundation::DateFormatter archiveDateFormat() {
    foundation::DateFormatter format;
    format.setLocale("en_US_POSIX");
    format.setDateFormat("yyyyMMdd'T'HHmmssZZZZZ");
    format.setTimeZone("UTC");
    return format;
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
    const foundation::URL folder = fileURL().deletingLastPathComponent();
    std::vector<std::string> names;
    try {
        names = fileManager().contentsOfDirectory(folder.toPath());
    } catch (const foundation::FoundationError& error) {
        reporter().failure(std::string("error in finishing interrupted work, error: ") +
                           error.what());
        return;
    }
    for (const std::string& name : names) {
        const foundation::URL candidate = folder.appendingPathComponent(name, false);
        if (!isTemporaryOf(fileURL(), candidate)) {
            continue;
        }
        try {
            if (fileManager().attributesOfItem(candidate.toPath()).isRegularFile) {
                fileManager().removeFile(candidate.toPath());
                reporter().notice("removed the unfinished file " + candidate.description());
            }
        } catch (const foundation::FoundationError& error) {
            reporter().failure(std::string("error in removing an unfinished file, error: ") +
                               error.what());
        }
    }
    if (!compressArchived_) {
        return;
    }
    std::vector<foundation::URL> waiting;
    for (ArchiveEntry& entry :
         ascArchivedFileURLs(fileManager(), reporter(), fileURL(), isArchiveOf)) {
        waiting.push_back(std::move(entry.url));
    }
    if (!waiting.empty()) {
        reporter().notice("compressing " + std::to_string(waiting.size()) + " archives of " +
                          fileURL().description() + " that an earlier run left uncompressed");
        startCompression(std::move(waiting));
    }
}

void FileRotationLogger::rotateIfNeeded(std::optional<std::uint64_t> size) const {
    // The size comes from the file the line was written to; none means it did not open.
    if (!size || *size <= rotationConfig_.maxFileSize) {
        return;
    }
    // Renumbering must not move an archive that is still being compressed.
    compressions_->waitForPrevious();
    shiftNumberedArchives();
    const auto archive = archiveCurrentFile();
    pruneArchives(rotationConfig_.maxArchivedFilesCount);
    if (archive && compressArchived_ && fileManager().fileExists(archive->toPath())) {
        startCompression({*archive});
    }
    try {
        openFile();
    } catch (const FileError& error) {
        reporter().failure("error in openFile while rotating, error: " + error.errorDescription());
    }
}

void FileRotationLogger::shiftNumberedArchives() const {
    if (rotationConfig_.suffixExtension != RotationConfig::SuffixExtension::numbering) {
        return;
    }
    const auto archives = ascArchivedFileURLs(fileManager(), reporter(), fileURL(), isArchiveOf);
    // The oldest gets the highest number, the newest 2: <log>.1 is kept for the new archive.
    std::size_t number = archives.size() + 1;
    for (const ArchiveEntry& entry : archives) {
        const foundation::URL shifted =
            entry.url.deletingPathExtension().appendingPathExtension(std::to_string(number--));
        if (fileManager().fileExists(shifted.toPath())) {
            continue;
        }
        try {
            fileManager().moveItem(entry.url, shifted);
        } catch (const foundation::FoundationError& error) {
            reporter().failure(std::string("error in rotating old archive files, error: ") +
                               error.what());
            return;
        }
    }
}

foundation::URL FileRotationLogger::nextArchiveURL() const {
    if (rotationConfig_.suffixExtension == RotationConfig::SuffixExtension::numbering) {
        return fileURL().appendingPathExtension("1");
    }
    return fileURL().appendingPathExtension(dateFormat_.string(foundation::now()) + "_" +
                                            foundation::UUID().uuidString());
}

std::optional<foundation::URL> FileRotationLogger::archiveCurrentFile() const {
    foundation::URL archive = nextArchiveURL();
    try {
        fileManager().moveItem(fileURL(), archive);
    } catch (const foundation::FoundationError& error) {
        reporter().failure(std::string("error in archiving the target file, error: ") +
                           error.what());
        return std::nullopt;
    }
    if (const auto receiver = delegate()) {
        receiver->onArchived(*this, fileURL(), archive);
    }
    return archive;
}

void FileRotationLogger::pruneArchives(std::size_t maxCount) const {
    // With compression off the log's gzip files are left alone: nothing makes new ones.
    const bool withGzipFiles = compressArchived_;
    const auto records =
        ascArchivedFileURLs(fileManager(), reporter(), fileURL(),
                            [withGzipFiles](const auto& log, const auto& candidate) {
                                return isArchiveOf(log, candidate) ||
                                       (withGzipFiles && isCompressedArchiveOf(log, candidate));
                            });
    for (const ArchiveEntry& entry : surplusArchives(records, maxCount, compressArchived_)) {
        try {
            fileManager().removeFile(entry.url.toPath());
        } catch (const foundation::FoundationError& error) {
            reporter().failure(std::string("error in removing extra archived files, error: ") +
                               error.what());
            return;
        }
        if (const auto receiver = delegate()) {
            if (entry.compressed) {
                receiver->onCompressedArchiveRemoved(*this, entry.url);
            } else {
                receiver->onArchiveRemoved(*this, entry.url);
            }
        }
    }
}

void FileRotationLogger::startCompression(std::vector<foundation::URL> archives) const {
    auto self = std::static_pointer_cast<const FileRotationLogger>(
        std::const_pointer_cast<const Loggerable>(weak_from_this().lock()));
    if (!self) {
        // No owner can keep the sink alive for a background task: compress right here.
        for (const foundation::URL& archive : archives) {
            gzipArchive(archive);
        }
        return;
    }
    compressions_->start([self = std::move(self), archives = std::move(archives)] {
        for (const foundation::URL& archive : archives) {
            self->gzipArchive(archive);
        }
    });
}

void FileRotationLogger::gzipArchive(const foundation::URL& archive) const {
    try {
        const auto gzipPath = writeCompressedCopy(fileManager(), archive);
        if (!gzipPath) {
            return;
        }
        try {
            fileManager().removeFile(archive.toPath());
        } catch (const foundation::FoundationError&) {
            // Keep the records single: the archive stays, its copy goes.
            fileManager().removeFile(*gzipPath);
            return;
        }
        if (const auto receiver = delegate()) {
            receiver->onArchiveCompressed(*this, archive,
                                          foundation::URL::fileURL(*gzipPath, false));
        }
    } catch (const foundation::FoundationError&) {
        // Compression failures are silent: the archive stays, to be pruned like any other.
    }
}

} // namespace vorla
