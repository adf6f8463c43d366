#pragma once

#include "platform/foundation/DateFormatter.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/NewFile.hpp"
#include "sinks/ArchiveCompression.hpp"
#include "sinks/ArchiveListing.hpp"
#include "sinks/FileLoggerable.hpp"
#include "sinks/FileRotationLoggerDelegate.hpp"
#include "sinks/RotationConfig.hpp"

#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vorla {

// A file sink that rotates by size. After every line it reads the log file's size; once the
// file is larger than maxFileSize it is moved to an archive name (<log>.1 with older archives
// renumbered, or <log>.<time>_<uuid>), the oldest records beyond maxArchivedFilesCount are
// removed, the archive is optionally gzipped in the background (<log>.<seconds>.gzip), and a
// new empty log file is started. Every step that succeeds is reported to the delegate.
//
// Create it with std::make_shared: the compression task keeps the sink alive. log() must not
// run twice at once for one sink.
class FileRotationLogger final : public FileLoggerable {
public:
    // Throws FileError: isNotFile, invalidPermission, then the failures of openFile(). The
    // delegate is held weakly. The file manager is for tests that make one operation fail.
    FileRotationLogger(std::string label, LogLevel logLevel,
                       std::shared_ptr<const LogFormattable> logFormat, foundation::URL fileURL,
                       std::string filePermission, RotationConfig rotationConfig,
                       std::weak_ptr<FileRotationLoggerDelegate> delegate, bool compressArchived,
                       std::shared_ptr<const foundation::FileManager> fileManager = nullptr,
                       std::shared_ptr<const SinkReporter> reporter = nullptr);

    bool compressArchived() const { return compressArchived_; }

    // Appends the line with CR LF, synchronised to storage, then rotates when needed. Never
    // throws; failures are reported (one line each) and logging goes on.
    void log(LogLevel level, std::string_view string) const override;

    // Finishes what an earlier run was interrupted in: removes the temporary files it left in
    // the folder (keeping an old log found under one as an archive), lists the log's records
    // once for all later rotations and, with compression on, compresses the archives still
    // waiting for it (in the background). Reports what it did. Call it once, after creation.
    void finishInterruptedWork() const;

private:
    void rotateIfNeeded(std::optional<std::uint64_t> size) const;
    // The log's records, oldest first, as known since they were listed; recordsMutex_ held.
    std::vector<ArchiveEntry>&
    knownRecords(const std::shared_ptr<const foundation::Folder>& folder) const;
    // A start after a crash finds the log's temporary files: a new log that never took the
    // name goes, an old log exchanged out of it is kept as an archive, what a set-aside had
    // exchanged out is set aside.
    void recoverInterruptedRotations(const foundation::Folder& folder) const;
    // Renames the plain archives among the records (oldest first) and notes their new names.
    void shiftNumberedArchives(const foundation::Folder& folder,
                               std::vector<ArchiveEntry>& records) const;
    // <log>.<number>, or a dated name whatever the number.
    std::string archiveName(unsigned number) const;
    // Moves another user's entry at the name aside (reported); false when the entry is root's.
    bool setAsideIfTheirs(const foundation::Folder& folder, const std::string& name) const;
    // Why the archive's name cannot be taken (root's own entry there), or nothing.
    std::optional<std::string> blockedArchiveName(const foundation::Folder& folder,
                                                  const std::string& archive) const;
    // Gives the archive's name, or nothing when the log could not be archived.
    std::optional<std::string> archiveCurrentFile(const foundation::Folder& folder) const;
    std::optional<std::string> archiveByMoving(const foundation::Folder& folder,
                                               foundation::NewFile& fresh,
                                               const std::string& archive) const;
    void archived(const std::string& archive) const;
    void pruneArchives(const foundation::Folder& folder, std::vector<ArchiveEntry>& records) const;
    // Compresses the archives one after another, oldest first, in one background task. After
    // an interruption, an archive whose gzip copy was already made is removed instead.
    void startCompression(std::shared_ptr<const foundation::Folder> folder,
                          std::vector<std::string> archives, bool afterInterruption) const;
    bool removeIfCompressedAlready(const foundation::Folder& folder,
                                   const std::string& archive) const;
    void gzipArchive(const foundation::Folder& folder, const std::string& archive) const;
    // The archive is gone from the records, its gzip copy (when it has one) is in.
    void noteCompressed(const std::string& archive, std::optional<ArchiveEntry> gzip) const;
    // Gives whether the folder's names are on storage; reports when they are not.
    bool synchronizeFolder(const foundation::Folder& folder) const;
    void tellRotationFailure(const std::string& message) const;
    void tellCompressionFailure(const std::string& archive,
                                const foundation::FoundationError& error) const;
    foundation::URL urlOf(std::string_view name) const;
    std::shared_ptr<FileRotationLoggerDelegate> delegate() const { return delegate_.lock(); }

    bool compressArchived_;
    RotationConfig rotationConfig_;
    std::weak_ptr<FileRotationLoggerDelegate> delegate_;
    foundation::DateFormatter dateFormat_;
    std::shared_ptr<CompressionChain> compressions_;
    // The rotation failures reported since the last rotation that archived the log; touched
    // only by the logging thread.
    mutable std::set<std::string> toldFailures_;
    // Touched by the logging thread and the compression task.
    mutable std::mutex recordsMutex_;
    mutable std::optional<std::vector<ArchiveEntry>> records_;
    mutable std::shared_ptr<const foundation::Folder> recordsFolder_;
};

} // namespace vorla
