#include "sinks/FileLoggerable.hpp"

#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/FreeName.hpp"
#include "platform/foundation/Trust.hpp"
#include "sinks/LineEnd.hpp"
#include "sinks/RecordTrust.hpp"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <mutex>
#include <utility>
#include <vector>

namespace vorla {

namespace {

constexpr std::uint16_t permissionLimit = 0777;

// Lines held back in force mode are capped, so a log that stays unwritable cannot exhaust
// the memory of the process; beyond the cap the oldest held lines give way.
constexpr std::size_t pendingLimit = 8 * 1024 * 1024;

// An optional "+" or "-", then octal digits only; the value fits 16 bits and a "-" is only
// accepted before zero.
std::optional<std::uint16_t> parseOctal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.find_first_not_of("01234567") != std::string_view::npos) {
        return std::nullopt;
    }
    std::uint16_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 8);
    if (error != std::errc() || end != text.data() + text.size() || (negative && value != 0)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

// Lines of force mode that could not be written yet, oldest first, as the bytes to write.
struct FileLoggerable::PendingLines {
    struct Held {
        std::string bytes;
        // The byte count of each held line, oldest first.
        std::vector<std::size_t> lineSizes;
    };

    std::mutex mutex;
    Held held;
    // Lets a sink with nothing held skip the lock on every line.
    std::atomic<bool> any{false};

    Held take() {
        if (!any.load(std::memory_order_acquire)) {
            return {};
        }
        const std::lock_guard lock(mutex);
        any.store(false, std::memory_order_release);
        return std::exchange(held, {});
    }

    // Keeps the lines; the oldest give way to stay within the bound, and are reported lost.
    void keep(Held lines, const SinkReporter& reporter, const foundation::URL& fileURL) {
        std::size_t dropped = 0;
        std::size_t cut = 0;
        while (lines.bytes.size() - cut > pendingLimit && dropped < lines.lineSizes.size()) {
            cut += lines.lineSizes[dropped];
            ++dropped;
        }
        lines.lineSizes.erase(lines.lineSizes.begin(),
                              lines.lineSizes.begin() + static_cast<std::ptrdiff_t>(dropped));
        lines.bytes.erase(0, cut);
        const std::lock_guard lock(mutex);
        held = std::move(lines);
        any.store(!held.lineSizes.empty(), std::memory_order_release);
        if (dropped > 0) {
            reporter.failure("dropped " + std::to_string(dropped) + " held lines of " +
                             fileURL.description() + ": more than " + std::to_string(pendingLimit) +
                             " bytes were waiting to be written");
        }
    }
};

FileLoggerable::FileLoggerable(std::string label, LogLevel logLevel,
                               std::shared_ptr<const LogFormattable> logFormat,
                               foundation::URL fileURL, std::string filePermission,
                               std::shared_ptr<const foundation::FileManager> fileManager,
                               std::shared_ptr<const SinkReporter> reporter)
    : Loggerable(std::move(label), logLevel, std::move(logFormat)), fileURL_(std::move(fileURL)),
      fileName_(fileURL_.lastPathComponent()), filePermission_(std::move(filePermission)),
      permissionBits_(parseOctal(filePermission_).value_or(0)),
      fileManager_(fileManager ? std::move(fileManager)
                               : foundation::FileManager::defaultManager()),
      reporter_(reporter ? std::move(reporter) : SinkReporter::standardOutput()),
      pendingLines_(std::make_shared<PendingLines>()),
      appendFailures_(std::make_shared<RepeatedFailure>(fileURL_.description(), reporter_)) {
    if (fileURL_.hasDirectoryPath()) {
        throw FileError::isNotFile(fileURL_);
    }
    checkFilePermission();
    openFile();
}

void FileLoggerable::checkFilePermission() const {
    const auto value = parseOctal(filePermission_);
    if (!value || *value > permissionLimit) {
        throw FileError::invalidPermission(fileURL_, filePermission_);
    }
}

std::shared_ptr<const foundation::Folder> FileLoggerable::folder() const {
    const std::lock_guard lock(folderMutex_);
    return folder_;
}

void FileLoggerable::openFile() const {
    std::shared_ptr<const foundation::Folder> folder = this->folder();
    if (!folder || folder->isRemoved()) {
        const foundation::URL folderURL = fileURL_.deletingLastPathComponent();
        try {
            folder = std::make_shared<const foundation::Folder>(
                fileManager_->openFolder(folderURL, {.create = true}));
        } catch (const foundation::FoundationError& error) {
            throw FileError::creatingDirectoryFailed(folderURL, error.code());
        }
        const std::lock_guard lock(folderMutex_);
        folder_ = folder;
    }
    provideLogFile(*folder);
}

foundation::FileHandle FileLoggerable::openTrustedLog(const foundation::Folder& folder) const {
    foundation::FileHandle handle = fileManager_->openForWriting(folder, fileName_);
    if (const auto reason =
            untrustedRecordReason(handle.attributes(), handle.path(), permissionBits())) {
        throw foundation::UntrustedError(*reason);
    }
    return handle;
}

void FileLoggerable::provideLogFile(const foundation::Folder& folder) const {
    // Another user may put something at the name again and again (in a sticky folder such as
    // /tmp); once a file of ours holds the name nobody else can take it, so a few rounds do.
    constexpr int attempts = 4;
    bool created = false;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::string reason;
        try {
            std::optional<foundation::FileHandle> handle = openTrustedLog(folder);
            if (!created) {
                cutTornEnd(folder, *handle);
            }
            // A file created just now is on storage already: its creation synchronised it.
            if (const auto failure =
                    syncAndClose(handle, created ? FlushMode::manual : FlushMode::always)) {
                // What an earlier run wrote may not all have reached storage; nothing here can
                // write it again, but the operator hears of it.
                reporter_->failure("error in synchronizing a file, error: " + *failure +
                                   ", file: " + fileURL_.description());
            }
            return;
        } catch (const foundation::UntrustedError& error) {
            reason = error.what();
        } catch (const foundation::FoundationError& error) {
            if (error.code() == ENOENT) {
                created = createLogFile(folder);
                continue;
            }
            const auto judgement = judgeLogEntry(folder);
            if (!judgement) {
                continue; // gone meanwhile: the next round makes the file
            }
            if (judgement->verdict == EntryVerdict::usable) {
                throw FileError::openingForWritingFailed(fileURL_, error.code());
            }
            if (judgement->verdict == EntryVerdict::leaveAlone) {
                reporter_->failure("cannot use " + fileURL_.description() + ": " +
                                   judgement->reason);
                if (judgement->kind == foundation::ObjectKind::folder) {
                    throw FileError::isNotFile(fileURL_);
                }
                throw FileError::openingForWritingFailed(fileURL_, error.code());
            }
            reason = judgement->reason;
        }
        replaceUnsound(folder, reason, "-untrusted-");
        created = true;
    }
    throw FileError::openingForWritingFailed(fileURL_, EEXIST);
}

bool FileLoggerable::createLogFile(const foundation::Folder& folder) const {
    try {
        // Never replace: a file that appeared meanwhile is looked at next round.
        fileManager_->createFile(folder, fileName_, "", permissionBits(), false);
        return true;
    } catch (const foundation::FoundationError& creation) {
        if (creation.code() != EEXIST) {
            throw FileError::creatingFileFailed(fileURL_, creation.code());
        }
        return false;
    }
}

std::optional<EntryJudgement>
FileLoggerable::judgeLogEntry(const foundation::Folder& folder) const {
    try {
        return judgeEntry(fileManager_->attributesOfItem(folder, fileName_),
                          folder.pathOf(fileName_), permissionBits());
    } catch (const foundation::FoundationError&) {
        return std::nullopt;
    }
}

void FileLoggerable::replaceUnsound(const foundation::Folder& folder, const std::string& reason,
                                    std::string_view tag) const {
    foundation::NewFile fresh = [&] {
        try {
            return fileManager_->createTemporaryFile(folder, fileName_, permissionBits());
        } catch (const foundation::FoundationError& error) {
            throw FileError::creatingFileFailed(fileURL_, error.code());
        }
    }();
    try {
        const auto kept = foundation::replaceAside(*fileManager_, folder, fileName_, tag, fresh);
        // Lines go into the new file only once its name lasts a power cut.
        fileManager_->synchronize(folder);
        if (kept) {
            reporter_->failure("set aside " + fileURL_.description() + " as " +
                               fileURL_.deletingLastPathComponent()
                                   .appendingPathComponent(*kept, false)
                                   .description() +
                               ": " + reason);
        }
    } catch (const foundation::FoundationError& error) {
        reporter_->failure("could not set aside " + fileURL_.description() + " (" + reason +
                           "), error: " + error.what());
        throw FileError::openingForWritingFailed(fileURL_, error.code());
    }
}

void FileLoggerable::cutTornEnd(const foundation::Folder& folder,
                                foundation::FileHandle& log) const {
    const std::uint64_t size = log.size();
    if (size == 0) {
        return;
    }
    foundation::FileHandle reader = fileManager_->openForReading(folder, fileName_);
    if (!reader.attributes().isSameFile(log.attributes())) {
        return; // replaced meanwhile: the next open looks at the file that stands there then
    }
    const std::uint64_t end = endOfLastLine(reader, size);
    if (end == size) {
        return;
    }
    // A crash or power cut kept part of an append that was never acknowledged (or its length
    // in zero bytes): what follows the last whole line goes, so the next line stands alone.
    fileManager_->truncate(log, end);
    reporter_->notice("cut " + std::to_string(size - end) + " bytes from the end of " +
                      fileURL_.description() + ", which held no whole line");
}

std::optional<foundation::FileHandle>
FileLoggerable::openForAppending(FileWritingErrorHandlingMode writeMode,
                                 std::string& failure) const {
    const std::shared_ptr<const foundation::Folder> folder = this->folder();
    try {
        return openTrustedLog(*folder);
    } catch (const foundation::FoundationError& error) {
        failure = error.what();
        if (writeMode != FileWritingErrorHandlingMode::force) {
            return std::nullopt;
        }
        if (error.code() != ENOENT && !dynamic_cast<const foundation::UntrustedError*>(&error)) {
            // Only what may be set aside makes way; root's device or FIFO there stays as it is.
            const auto judgement = judgeLogEntry(*folder);
            if (judgement && judgement->verdict != EntryVerdict::setAside) {
                if (!judgement->reason.empty()) {
                    failure = judgement->reason;
                }
                return std::nullopt;
            }
        }
    }
    // The log file was removed, moved away or replaced under the sink: start a new one.
    try {
        openFile();
        return openTrustedLog(*this->folder());
    } catch (const std::exception& error) {
        failure = error.what();
        return std::nullopt;
    }
}

std::optional<std::uint64_t>
FileLoggerable::appendLine(std::string_view line, FlushMode flushMode,
                           FileWritingErrorHandlingMode writeMode) const {
    const bool force = writeMode == FileWritingErrorHandlingMode::force;
    PendingLines::Held lines = force ? pendingLines_->take() : PendingLines::Held();
    lines.bytes.reserve(lines.bytes.size() + line.size() + 2);
    lines.bytes.append(line);
    lines.bytes.append("\r\n");
    // Sizes are kept only for lines that must wait, so that the bound drops whole lines.
    const auto keepForLater = [&] {
        lines.lineSizes.push_back(line.size() + 2);
        pendingLines_->keep(std::move(lines), *reporter_, fileURL_);
    };

    std::string openFailure;
    std::optional<foundation::FileHandle> handle = openForAppending(writeMode, openFailure);
    if (!handle) {
        tellAppendFailure(openFailure);
        if (force) {
            keepForLater();
        }
        return std::nullopt;
    }
    const auto [size, failure] = writeAcknowledged(*handle, lines.bytes, flushMode);
    if (!failure) {
        appendFailures_->succeeded();
        return size;
    }
    if (writeMode != FileWritingErrorHandlingMode::assert) {
        tellAppendFailure(*failure);
    }
    if (force) {
        keepForLater();
    }
    return size;
}

std::pair<std::uint64_t, std::optional<std::string>>
FileLoggerable::writeAcknowledged(foundation::FileHandle& log, std::string_view bytes,
                                  FlushMode flushMode) const {
    // Nothing but this sink writes the log, and every failure below is cut back: the file as it
    // opened is the file as far as storage acknowledged it.
    const std::uint64_t acknowledged = log.size();
    std::optional<std::string> failure;
    bool cutFailed = false;
    try {
        // A write that fails part-way is cut back, so a retry leaves no half line behind.
        fileManager_->append(log, bytes);
        if (flushMode == FlushMode::always) {
            fileManager_->synchronize(log);
        }
    } catch (const foundation::FoundationError& error) {
        failure = error.what();
        // After a failed fsync the file may hold the bytes, or pages of zeros in their place, or
        // lose them later: cut back to what was acknowledged, so a line written again from the
        // held copy stands once and no failed page stays behind.
        try {
            if (log.size() != acknowledged) {
                fileManager_->truncate(log, acknowledged);
            }
        } catch (const foundation::FoundationError&) {
            cutFailed = true;
        }
    }
    const std::uint64_t size = log.size();
    std::optional<foundation::FileHandle> closing(std::move(log));
    // A close cannot take back what an fsync put on storage; without one it may tell of a loss.
    if (auto closed = syncAndClose(closing, FlushMode::manual);
        closed && !failure && flushMode != FlushMode::always) {
        failure = std::move(closed);
    }
    if (cutFailed) {
        // The file holds bytes that may never have reached storage and cannot be cut: it is
        // kept as it is, under another name, and a new file takes the log's name.
        try {
            replaceUnsound(*folder(),
                           fileURL_.description() + " could not be cut back after a failed write",
                           "-unsound-");
        } catch (const FileError&) {
        }
    }
    return {size, failure};
}

std::size_t FileLoggerable::writeHeldLines() const {
    // Nothing held, nothing to wait for: the queue's workers are not started only for this.
    if (!pendingLines_->any.load(std::memory_order_acquire)) {
        return 0;
    }
    std::size_t lost = 0;
    queue().sync([&] {
        PendingLines::Held lines = pendingLines_->take();
        if (lines.lineSizes.empty()) {
            return;
        }
        std::optional<std::string> failure;
        try {
            foundation::FileHandle handle = openTrustedLog(*folder());
            failure = writeAcknowledged(handle, lines.bytes, FlushMode::always).second;
        } catch (const foundation::FoundationError& error) {
            failure = error.what();
        }
        if (!failure) {
            return;
        }
        lost = lines.lineSizes.size();
        reporter_->failure(
            std::to_string(lost) + " lines of " + fileURL_.description() +
            " could not be written before the stop and are lost, error: " + *failure);
    });
    return lost;
}

std::optional<std::string>
FileLoggerable::syncAndClose(std::optional<foundation::FileHandle>& handle,
                             FlushMode flushMode) const {
    if (!handle) {
        return std::nullopt;
    }
    std::optional<std::string> failure;
    if (flushMode == FlushMode::always) {
        try {
            fileManager_->synchronize(*handle);
        } catch (const foundation::FoundationError& error) {
            failure = error.what();
        }
    }
    try {
        fileManager_->close(*handle);
    } catch (const foundation::FoundationError& error) {
        failure = failure.value_or(error.what());
    }
    handle.reset();
    return failure;
}

void FileLoggerable::tellAppendFailure(std::string_view description) const {
    appendFailures_->failed("error in appending data in a file, error: " +
                            std::string(description) + ", file: " + fileURL_.description());
}

DeleteResult FileLoggerable::removeNow(const foundation::URL& url) const {
    try {
        fileManager_->removeItem(url.toPath());
        return url;
    } catch (const foundation::FoundationError& error) {
        return FileError::deletingFailed(url, error.code());
    }
}

DeleteResult FileLoggerable::deleteFile(const foundation::URL& url) const {
    std::optional<DeleteResult> result;
    queue().sync([&] { result = removeNow(url); });
    return std::move(*result);
}

void FileLoggerable::deleteFile(const foundation::URL& url,
                                std::function<void(DeleteResult)> completion) const {
    auto self = std::static_pointer_cast<const FileLoggerable>(shared_from_this());
    queue().async(
        [self, url, completion = std::move(completion)] { completion(self->removeNow(url)); });
}

std::future<foundation::URL> FileLoggerable::deleteFileAsync(const foundation::URL& url) const {
    auto promise = std::make_shared<std::promise<foundation::URL>>();
    auto future = promise->get_future();
    deleteFile(url, [promise](DeleteResult result) {
        if (auto* removed = std::get_if<foundation::URL>(&result)) {
            promise->set_value(std::move(*removed));
        } else {
            promise->set_exception(std::make_exception_ptr(std::get<FileError>(result)));
        }
    });
    return future;
}

void FileLoggerable::flushNow(const foundation::URL& url) const {
    try {
        std::optional<foundation::FileHandle> handle = fileManager_->openForWriting(url);
        // The helper promises nothing: what it could not synchronise is not its caller's.
        static_cast<void>(syncAndClose(handle, FlushMode::always));
    } catch (const foundation::FoundationError&) {
    }
}

void FileLoggerable::flush(const foundation::URL& url) const {
    queue().sync([&] { flushNow(url); });
}

void FileLoggerable::flush(const foundation::URL& url, std::function<void()> completion) const {
    auto self = std::static_pointer_cast<const FileLoggerable>(shared_from_this());
    queue().async([self, url, completion = std::move(completion)] {
        self->flushNow(url);
        completion();
    });
}

std::future<void> FileLoggerable::flushAsync(const foundation::URL& url) const {
    auto promise = std::make_shared<std::promise<void>>();
    auto future = promise->get_future();
    flush(url, [promise] { promise->set_value(); });
    return future;
}

} // namespace vorla
