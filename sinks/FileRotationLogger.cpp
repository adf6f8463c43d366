#include "sinks/FileRotationLogger.hpp"

#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/FreeName.hpp"
#include "platform/foundation/Trust.hpp"
#include "platform/foundation/UUID.hpp"
#include "sinks/ArchiveCompression.hpp"
#include "sinks/ArchiveListing.hpp"
#include "sinks/ArchiveRetention.hpp"

#include <cstring>
#include <limits>
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
        recoverInterruptedRotations(*folder);
        foundation::removeUnfinishedFiles(
            fileManager(), *folder,
            [&logName](std::string_view target) {
                return target != logName && isNamedAfter(logName, target);
            },
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
    // The records are listed and checked here, once; rotations keep them up to date.
    std::vector<std::string> waiting;
    {
        const std::lock_guard lock(recordsMutex_);
        for (const ArchiveEntry& entry : knownRecords(folder)) {
            if (compressArchived_ && !entry.compressed) {
                waiting.push_back(entry.name);
            }
        }
    }
    if (!waiting.empty()) {
        reporter().notice("compressing " + std::to_string(waiting.size()) + " archives of " +
                          fileURL().description() + " that an earlier run left uncompressed");
        startCompression(folder, std::move(waiting), true);
    }
}

void FileRotationLogger::recoverInterruptedRotations(const foundation::Folder& folder) const {
    const std::string logName = fileURL().lastPathComponent();
    const auto ofTheLog = [&logName](std::string_view name, std::optional<foundation::ObjectKind>) {
        return foundation::FileManager::targetOfTemporaryName(name) == logName;
    };
    for (const foundation::DirectoryEntry& entry :
         fileManager().contentsOfDirectory(folder, ofTheLog)) {
        try {
            const auto attributes = fileManager().attributesOfItem(folder, entry.name);
            const auto judgement =
                judgeEntry(attributes, folder.pathOf(entry.name), permissionBits());
            if (!foundation::isTrustedOwner(attributes.owner)) {
                continue; // another user's file under a name like ours is none of ours
            }
            if (judgement.verdict != EntryVerdict::usable) {
                // What a set-aside had exchanged out of the log's name when it was stopped.
                const std::string kept = foundation::moveAsideAs(fileManager(), folder, entry.name,
                                                                 logName, "-untrusted-");
                reporter().failure("set aside " + urlOf(entry.name).description() + " as " +
                                   urlOf(kept).description() + ": " + judgement.reason);
            } else if (attributes.size == 0) {
                // A new log that never took the name, or one that gave it back.
                fileManager().removeFile(folder, entry.name);
                reporter().notice("removed the unfinished file " + urlOf(entry.name).description());
            } else {
                // The old log that a rotation had exchanged for the new one: an archive.
                const std::string archive = foundation::takeFreeName(
                    std::numeric_limits<std::uint8_t>::max() + 1U,
                    [this](unsigned attempt) { return archiveName(attempt + 1); },
                    [&](const std::string& name) {
                        fileManager().moveItem(folder, entry.name, name);
                    });
                reporter().notice("kept " + urlOf(entry.name).description() + " as " +
                                  urlOf(archive).description() +
                                  ", which an interrupted rotation had archived");
            }
            fileManager().synchronize(folder);
        } catch (const foundation::FoundationError& error) {
            if (error.code() != ENOENT) {
                reporter().failure(std::string("error in finishing interrupted work, error: ") +
                                   error.what());
            }
        }
    }
}

foundation::URL FileRotationLogger::urlOf(std::string_view name) const {
    return fileURL().deletingLastPathComponent().appendingPathComponent(name, false);
}

std::vector<ArchiveEntry>&
FileRotationLogger::knownRecords(const std::shared_ptr<const foundation::Folder>& folder) const {
    // Listed once (and again only when the folder had to be opened anew), then kept up to date
    // by every step that makes, renames or removes one: a rotation costs the same however many
    // entries others keep beside the log.
    if (!records_ || recordsFolder_ != folder) {
        // With compression off the log's gzip files are left alone: nothing makes new ones.
        records_ = ascArchivedFileURLs(fileManager(), reporter(), *folder,
                                       fileURL().lastPathComponent(), permissionBits(),
                                       compressArchived_ ? isRecordOf : ArchiveFilter(isArchiveOf));
        recordsFolder_ = folder;
    }
    return *records_;
}

void FileRotationLogger::rotateIfNeeded(std::optional<std::uint64_t> size) const {
    // The size comes from the file the line was written to; none means it did not open.
    if (!size || *size <= rotationConfig_.maxFileSize) {
        return;
    }
    // Renumbering must not move an archive that is still being compressed.
    compressions_->waitForPrevious();
    const auto folder = this->folder();
    std::optional<std::string> archive;
    {
        const std::lock_guard lock(recordsMutex_);
        std::vector<ArchiveEntry>& records = knownRecords(folder);
        shiftNumberedArchives(*folder, records);
        archive = archiveCurrentFile(*folder);
        // Pruning removes names that the renames above have just vacated or will take next
        // time: it waits until the renames (and the new log's name) are on storage, so that a
        // power cut can lose no record.
        if (!archive || !synchronizeFolder(*folder)) {
            return;
        }
        records.push_back({*archive, foundation::now(), false});
        pruneArchives(*folder, records);
    }
    // Outside the lock: without an owner to keep the sink alive the compression runs here.
    if (compressArchived_) {
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
    const auto archives = static_cast<std::size_t>(std::count_if(
        records.begin(), records.end(), [](const auto& entry) { return !entry.compressed; }));
    // The oldest gets the highest number, the newest 2: <log>.1 is kept for the new archive.
    std::size_t number = archives + 1;
    for (auto entry = records.begin(); entry != records.end();) {
        if (entry->compressed) {
            ++entry;
            continue;
        }
        std::string shifted = archiveName(static_cast<unsigned>(number--));
        if (shifted == entry->name) {
            ++entry;
            continue;
        }
        try {
            try {
                fileManager().moveItem(folder, entry->name, shifted);
            } catch (const foundation::FoundationError& error) {
                // Another user's entry at the number makes way; root's own leaves this archive
                // where it is.
                if (error.code() != EEXIST || !setAsideIfTheirs(folder, shifted)) {
                    throw;
                }
                fileManager().moveItem(folder, entry->name, shifted);
            }
            entry->name = std::move(shifted);
        } catch (const foundation::FoundationError& error) {
            if (error.code() == ENOENT) {
                entry = records.erase(entry); // removed by someone else: no record any more
                continue;
            }
            if (error.code() != EEXIST) {
                tellRotationFailure(std::string("error in rotating old archive files, error: ") +
                                    error.what());
                return;
            }
        }
        ++entry;
    }
}

std::string FileRotationLogger::archiveName(unsigned number) const {
    const std::string logName = fileURL().lastPathComponent();
    if (rotationConfig_.suffixExtension == RotationConfig::SuffixExtension::numbering) {
        return logName + "." + std::to_string(number);
    }
    return logName + "." + dateFormat_.string(foundation::now()) + "_" +
           foundation::UUID().uuidString();
}

bool FileRotationLogger::setAsideIfTheirs(const foundation::Folder& folder,
                                          const std::string& name) const {
    try {
        const auto attributes = fileManager().attributesOfItem(folder, name);
        if (foundation::isTrustedOwner(attributes.owner)) {
            return false;
        }
        const std::string kept = foundation::moveAside(fileManager(), folder, name, "-untrusted-");
        reporter().failure("set aside " + urlOf(name).description() + " as " +
                           urlOf(kept).description() + ": " +
                           judgeEntry(attributes, folder.pathOf(name), permissionBits()).reason);
        return true;
    } catch (const foundation::FoundationError& error) {
        // Gone meanwhile: the name is free.
        return error.code() == ENOENT;
    }
}

std::optional<std::string>
FileRotationLogger::archiveCurrentFile(const foundation::Folder& folder) const {
    const std::string logName = fileURL().lastPathComponent();
    const std::string archive = archiveName(1);
    // Root's own entry at the archive's name blocks the rotation until it is cleared; the
    // check spares each line of that time a new file and two exchanges.
    if (const auto blocked = blockedArchiveName(folder, archive)) {
        tellRotationFailure("error in archiving the target file, error: " + *blocked);
        return std::nullopt;
    }
    // The new log is made first and exchanged for the old one in a single step, so the log's
    // name never stands free for another user to take.
    std::optional<foundation::NewFile> fresh;
    try {
        fresh.emplace(fileManager().createTemporaryFile(folder, logName, permissionBits()));
    } catch (const foundation::FoundationError& error) {
        tellRotationFailure(
            "error in openFile while rotating, error: " +
            FileError::creatingFileFailed(fileURL(), error.code()).errorDescription());
        return std::nullopt;
    }
    const std::string old = fresh->temporaryName();
    try {
        fileManager().exchange(folder, old, logName);
    } catch (const foundation::FoundationError& error) {
        if (error.code() != EINVAL && error.code() != ENOSYS) {
            tellRotationFailure(std::string("error in archiving the target file, error: ") +
                                error.what());
            return std::nullopt;
        }
        // A file system that cannot exchange names: archive first, then give the new file the
        // name, which stands free in between.
        return archiveByMoving(folder, *fresh, archive);
    }
    fresh->named();
    // The old log now stands under the temporary name, where a start after a crash finds it.
    const auto moveToArchive = [&] { fileManager().moveItem(folder, old, archive); };
    try {
        try {
            moveToArchive();
        } catch (const foundation::FoundationError& error) {
            if (error.code() != EEXIST || !setAsideIfTheirs(folder, archive)) {
                throw;
            }
            moveToArchive();
        }
    } catch (const foundation::FoundationError& error) {
        tellRotationFailure(std::string("error in archiving the target file, error: ") +
                            error.what());
        // The old log takes its name back and goes on growing; the unused new one goes.
        try {
            fileManager().exchange(folder, old, logName);
            fileManager().removeFile(folder, old);
        } catch (const foundation::FoundationError& undo) {
            tellRotationFailure(std::string("error in archiving the target file, error: ") +
                                undo.what());
        }
        return std::nullopt;
    }
    archived(archive);
    return archive;
}

std::optional<std::string> FileRotationLogger::archiveByMoving(const foundation::Folder& folder,
                                                               foundation::NewFile& fresh,
                                                               const std::string& archive) const {
    const std::string logName = fileURL().lastPathComponent();
    try {
        fileManager().moveItem(folder, logName, archive);
    } catch (const foundation::FoundationError& error) {
        tellRotationFailure(std::string("error in archiving the target file, error: ") +
                            error.what());
        return std::nullopt;
    }
    try {
        fileManager().giveName(folder, fresh, logName, false);
    } catch (const foundation::FoundationError& error) {
        tellRotationFailure(
            "error in openFile while rotating, error: " +
            FileError::creatingFileFailed(fileURL(), error.code()).errorDescription());
    }
    archived(archive);
    return archive;
}

std::optional<std::string>
FileRotationLogger::blockedArchiveName(const foundation::Folder& folder,
                                       const std::string& archive) const {
    try {
        fileManager().attributesOfItem(folder, archive);
    } catch (const foundation::FoundationError& error) {
        return error.code() == ENOENT ? std::nullopt : std::optional<std::string>(error.what());
    }
    if (setAsideIfTheirs(folder, archive)) {
        return std::nullopt;
    }
    return "could not move \"" + folder.pathOf(fileURL().lastPathComponent()) + "\" to \"" +
           folder.pathOf(archive) + "\": " + std::strerror(EEXIST);
}

void FileRotationLogger::archived(const std::string& archive) const {
    toldFailures_.clear();
    if (const auto receiver = delegate()) {
        receiver->onArchived(*this, fileURL(), urlOf(archive));
    }
}

void FileRotationLogger::pruneArchives(const foundation::Folder& folder,
                                       std::vector<ArchiveEntry>& records) const {
    const auto surplus =
        surplusArchives(records, rotationConfig_.maxArchivedFilesCount, compressArchived_);
    for (const ArchiveEntry& entry : surplus) {
        const auto known =
            std::find_if(records.begin(), records.end(),
                         [&entry](const auto& record) { return record.name == entry.name; });
        try {
            fileManager().removeFile(folder, entry.name);
        } catch (const foundation::FoundationError& error) {
            if (error.code() == ENOENT) {
                records.erase(known);
                continue;
            }
            tellRotationFailure(std::string("error in removing extra archived files, error: ") +
                                error.what());
            break;
        }
        records.erase(known);
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
        std::vector<std::string> candidates;
        {
            const std::lock_guard lock(recordsMutex_);
            for (const ArchiveEntry& gzip : knownRecords(this->folder())) {
                if (gzip.compressed && gzip.modificationDate == attributes.modificationDate) {
                    candidates.push_back(gzip.name);
                }
            }
        }
        for (const std::string& gzip : candidates) {
            foundation::FileHandle copy = fileManager().openForReading(folder, gzip);
            foundation::FileHandle original = fileManager().openForReading(folder, archive);
            if (!original.attributes().isSameFile(attributes) || !holdsSameBytes(copy, original)) {
                continue;
            }
            fileManager().removeFile(folder, archive);
            noteCompressed(archive, std::nullopt);
            fileManager().synchronize(folder);
            reporter().notice("removed " + urlOf(archive).description() + ", which " +
                              urlOf(gzip).description() + " holds already");
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
        noteCompressed(archive, ArchiveEntry{copy->name, copy->archive.modificationDate, true});
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

void FileRotationLogger::noteCompressed(const std::string& archive,
                                        std::optional<ArchiveEntry> gzip) const {
    const std::lock_guard lock(recordsMutex_);
    if (!records_) {
        return; // listed later, as the folder then stands
    }
    std::erase_if(*records_, [&archive](const auto& record) {
        return !record.compressed && record.name == archive;
    });
    if (gzip) {
        // Records stay oldest first: the copy takes its archive's date.
        const auto later =
            std::find_if(records_->begin(), records_->end(), [&gzip](const auto& record) {
                return gzip->modificationDate < record.modificationDate;
            });
        records_->insert(later, std::move(*gzip));
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
