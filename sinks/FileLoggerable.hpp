#pragma once

#include "platform/foundation/FileHandle.hpp"
#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/URL.hpp"
#include "sinks/FileError.hpp"
#include "sinks/FileWritingErrorHandlingMode.hpp"
#include "sinks/FlushMode.hpp"
#include "sinks/Loggerable.hpp"
#include "sinks/RecordTrust.hpp"
#include "sinks/RepeatedFailure.hpp"
#include "sinks/SinkReporter.hpp"

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace vorla {

// The outcome of deleting a file: its URL, or the error.
using DeleteResult = std::variant<foundation::URL, FileError>;

// A sink that owns a log file. Nothing stays open between lines: every line opens the file,
// appends at its end, synchronises according to the flush mode and closes it again, so a line
// for which log() has returned in `always` mode is on storage.
class FileLoggerable : public Loggerable {
public:
    using Loggerable::flush;

    const foundation::URL& fileURL() const { return fileURL_; }
    // Octal digits: the permission bits of a newly created log file.
    const std::string& filePermission() const { return filePermission_; }

    // Throws invalidPermission unless the permission text is octal and at most 777.
    void checkFilePermission() const;
    // The permission text as a number; only valid after checkFilePermission succeeded.
    std::uint16_t permissionBits() const { return permissionBits_; }
    // Opens the log's folder (made with every missing parent, each checked by the trust rule)
    // unless it is open already, then makes sure the log file is one the sink may write: a
    // regular file with one name that only its owner, root, can change. Another user's entry,
    // or root's file that fails that rule, is moved aside (reported) and a new empty file with
    // permissionBits takes its place; root's device, FIFO, socket, folder or link there is
    // never touched (reported, and thrown). A sound existing file keeps its lines: only what
    // follows its last whole line, never acknowledged, is cut.
    void openFile() const;
    // The log's folder, as openFile last opened it; every file operation goes through it.
    std::shared_ptr<const foundation::Folder> folder() const;
    // Appends the line and CR LF; never throws. A line counts as written only once its write and
    // its synchronisation succeeded (in `manual` mode, its write and close); a failed one is cut
    // back out of the file. Failures report the append message, a repeated one once and then
    // counted (RepeatedFailure; see FileWritingErrorHandlingMode for what happens to the line).
    // Gives the file's size after the line, as the open file counts it, or nothing when the
    // file did not open.
    std::optional<std::uint64_t> appendLine(std::string_view line, FlushMode flushMode,
                                            FileWritingErrorHandlingMode writeMode) const;
    // For a clean stop: writes the lines that force mode still holds back, waiting on the
    // sink's queue, and reports those that cannot be written as lost. Gives their number.
    std::size_t writeHeldLines() const;
    // Synchronises (in `always` mode) and closes the handle; gives the failure of either (the
    // synchronisation's first), or nothing when both succeeded.
    [[nodiscard]] std::optional<std::string>
    syncAndClose(std::optional<foundation::FileHandle>& handle, FlushMode flushMode) const;

    // Removes the item, waiting on the sink's queue; never call it from that queue's own work.
    DeleteResult deleteFile(const foundation::URL& url) const;
    // Removes the item on the sink's queue and then calls the completion there.
    void deleteFile(const foundation::URL& url, std::function<void(DeleteResult)> completion) const;
    // Removes the item on the sink's queue; the future yields the URL or throws the FileError.
    std::future<foundation::URL> deleteFileAsync(const foundation::URL& url) const;

    // Opens the file and synchronises it to storage, waiting on the sink's queue; every error
    // is ignored.
    void flush(const foundation::URL& url) const;
    void flush(const foundation::URL& url, std::function<void()> completion) const;
    std::future<void> flushAsync(const foundation::URL& url) const;

protected:
    // Refuses a directory URL and a bad permission text, then opens the file (throws FileError).
    // Without a file manager or reporter the default ones serve.
    FileLoggerable(std::string label, LogLevel logLevel,
                   std::shared_ptr<const LogFormattable> logFormat, foundation::URL fileURL,
                   std::string filePermission,
                   std::shared_ptr<const foundation::FileManager> fileManager,
                   std::shared_ptr<const SinkReporter> reporter);

    const foundation::FileManager& fileManager() const { return *fileManager_; }
    const SinkReporter& reporter() const { return *reporter_; }

private:
    struct PendingLines;

    DeleteResult removeNow(const foundation::URL& url) const;
    void flushNow(const foundation::URL& url) const;
    // Opens the log file for appending when it is one the sink may write; in force mode a
    // missing or unsound file is replaced first.
    std::optional<foundation::FileHandle> openForAppending(FileWritingErrorHandlingMode writeMode,
                                                           std::string& failure) const;
    // The open log file, or an UntrustedError when it is not one the sink may write.
    foundation::FileHandle openTrustedLog(const foundation::Folder& folder) const;
    // Makes the log's name hold a sound file: another user's entry, or root's file that fails
    // the rule, makes way (set aside, reported); root's object that is no regular file is left
    // as it is and the log counts as unusable (reported, FileError thrown).
    void provideLogFile(const foundation::Folder& folder) const;
    // Creates the empty log file; false when something took the name first.
    bool createLogFile(const foundation::Folder& folder) const;
    // What stands at the log's name and what may be done with it; nothing when nothing does.
    std::optional<EntryJudgement> judgeLogEntry(const foundation::Folder& folder) const;
    // Puts a new empty log file at the name and moves what stood there aside (`tag` in its new
    // name), without the name standing free for a moment; reports it. Throws FileError.
    void replaceUnsound(const foundation::Folder& folder, const std::string& reason,
                        std::string_view tag) const;
    // Cuts the open log back to the end of its last whole line, reporting what was cut.
    void cutTornEnd(const foundation::Folder& folder, foundation::FileHandle& log) const;
    // Appends the bytes, synchronises them in `always` mode and closes the handle; whatever
    // failed is cut back to the size the file had when it opened. Gives the size after, and the
    // failure.
    std::pair<std::uint64_t, std::optional<std::string>>
    writeAcknowledged(foundation::FileHandle& log, std::string_view bytes,
                      FlushMode flushMode) const;
    void tellAppendFailure(std::string_view description) const;

    foundation::URL fileURL_;
    std::string fileName_;
    std::string filePermission_;
    // Read once: every line's open checks the file against it.
    std::uint16_t permissionBits_;
    std::shared_ptr<const foundation::FileManager> fileManager_;
    std::shared_ptr<const SinkReporter> reporter_;
    std::shared_ptr<PendingLines> pendingLines_;
    std::shared_ptr<RepeatedFailure> appendFailures_;
    // Replaced only when the folder was removed under the sink; read by the compression too.
    mutable std::mutex folderMutex_;
    mutable std::shared_ptr<const foundation::Folder> folder_;
};

} // namespace vorla
