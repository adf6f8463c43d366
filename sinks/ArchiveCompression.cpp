#include "sinks/ArchiveCompression.hpp"

#include "platform/dispatch/Dispatch.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/FreeName.hpp"
#include "platform/foundation/Trust.hpp"
#include "sinks/RecordTrust.hpp"

#include <algorithm>
#include <memory>
#include <vector>
#include <zlib.h>

namespace vorla {

namespace {

// Window bits 31 select the gzip container.
constexpr int gzipWindowBits = 31;

} // namespace

bool gzipStream(const std::function<std::size_t(char* buffer, std::size_t size)>& read,
                const std::function<void(std::string_view bytes)>& write) {
    constexpr int level = 9;
    constexpr int memoryLevel = 9;
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, gzipWindowBits, memoryLevel, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        return false;
    }
    const std::unique_ptr<z_stream, int (*)(z_stream*)> ending(&stream, deflateEnd);
    std::vector<char> input(1 << 16);
    std::vector<char> output(1 << 16);
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        const std::size_t got = read(input.data(), input.size());
        stream.next_in = reinterpret_cast<Bytef*>(input.data());
        stream.avail_in = static_cast<uInt>(got);
        flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(output.data());
            stream.avail_out = static_cast<uInt>(output.size());
            if (deflate(&stream, flush) == Z_STREAM_ERROR) {
                return false;
            }
            write(std::string_view(output.data(), output.size() - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    return true;
}

std::optional<std::string> gzipCompress(std::string_view bytes) {
    std::string compressed;
    const bool done = gzipStream(
        [&bytes](char* buffer, std::size_t size) {
            const std::size_t taken = std::min(size, bytes.size());
            std::copy_n(bytes.data(), taken, buffer);
            bytes.remove_prefix(taken);
            return taken;
        },
        [&compressed](std::string_view piece) { compressed.append(piece); });
    if (!done) {
        return std::nullopt;
    }
    return compressed;
}

std::string compressedFileName(std::string_view baseName, foundation::Date now, unsigned attempt) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    std::string name = std::string(baseName) + "." + std::to_string(seconds);
    if (attempt > 0) {
        name += "_" + std::to_string(attempt);
    }
    return name + ".gzip";
}

namespace {

// Enough attempts for any number of archives that one second can produce.
constexpr unsigned maxNameAttempts = 10000;
// A gzip file may be read by whom the log may be read by, and written by its owner alone.
constexpr std::uint16_t gzipPermissionLimit = 0755;

} // namespace

std::optional<CompressedCopy> writeCompressedCopy(const foundation::FileManager& fileManager,
                                                  const foundation::Folder& folder,
                                                  std::string_view archiveName,
                                                  std::uint16_t permissionBits,
                                                  std::uint64_t sizeLimit) {
    foundation::FileHandle archive = fileManager.openForReading(folder, archiveName);
    const foundation::FileAttributes attributes = archive.attributes();
    const std::string archivePath = folder.pathOf(archiveName);
    if (auto reason = untrustedRecordReason(attributes, archivePath, permissionBits)) {
        throw foundation::UntrustedError(*reason);
    }
    if (attributes.size > sizeLimit) {
        throw foundation::UntrustedError(archivePath + " is larger than " +
                                         std::to_string(sizeLimit) + " bytes");
    }
    const std::string baseName(
        archiveName.substr(0, std::min(archiveName.rfind('.'), archiveName.size())));
    const auto now = foundation::now();
    foundation::NewFile gzip = fileManager.createTemporaryFile(
        folder, compressedFileName(baseName, now, 0),
        attributes.posixPermissions & permissionBits & gzipPermissionLimit);
    foundation::FileHandle& output = gzip.handle();
    if (!gzipStream(
            [&archive](char* buffer, std::size_t size) { return archive.read(buffer, size); },
            [&](std::string_view bytes) { fileManager.write(output, bytes); })) {
        return std::nullopt;
    }
    // Retention orders records by age: the copy is as old as its archive from its first moment
    // on storage, so the date is set before the fsync that takes it there.
    output.setModificationDate(attributes.modificationDate);
    fileManager.synchronize(output);
    fileManager.close(output);
    std::string name = foundation::takeFreeName(
        maxNameAttempts,
        [&](unsigned attempt) { return compressedFileName(baseName, now, attempt); },
        [&](const std::string& candidate) {
            fileManager.giveName(folder, gzip, candidate, false);
        });
    try {
        fileManager.synchronize(folder);
    } catch (const foundation::FoundationError&) {
        // Without its name on storage the copy may vanish at a power cut while the archive's
        // removal stays: the archive is kept and the copy goes, so the records stay single.
        try {
            fileManager.removeFile(folder, name);
        } catch (const foundation::FoundationError&) {
        }
        throw;
    }
    return CompressedCopy{std::move(name), attributes};
}

bool holdsSameBytes(foundation::FileHandle& gzip, foundation::FileHandle& archive) {
    z_stream stream{};
    if (inflateInit2(&stream, gzipWindowBits) != Z_OK) {
        return false;
    }
    const std::unique_ptr<z_stream, int (*)(z_stream*)> ending(&stream, inflateEnd);
    std::vector<char> input(1 << 16);
    std::vector<char> output(1 << 16);
    std::vector<char> expected(1 << 16);
    // Reads exactly `size` bytes of the archive unless it ends first.
    const auto readArchive = [&archive, &expected](std::size_t size) {
        std::size_t filled = 0;
        while (filled < size) {
            const std::size_t got = archive.read(expected.data() + filled, size - filled);
            if (got == 0) {
                break;
            }
            filled += got;
        }
        return filled;
    };
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0) {
            const std::size_t got = gzip.read(input.data(), input.size());
            if (got == 0) {
                return false;
            }
            stream.next_in = reinterpret_cast<Bytef*>(input.data());
            stream.avail_in = static_cast<uInt>(got);
        }
        stream.next_out = reinterpret_cast<Bytef*>(output.data());
        stream.avail_out = static_cast<uInt>(output.size());
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) {
            return false;
        }
        const std::size_t produced = output.size() - stream.avail_out;
        if (readArchive(produced) != produced ||
            !std::equal(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(produced),
                        expected.begin())) {
            return false;
        }
    }
    // Both end here: nothing of the archive is left over, and nothing follows the gzip member.
    char probe;
    return stream.avail_in == 0 && readArchive(1) == 0 && gzip.read(&probe, 1) == 0;
}

std::size_t maxLogFileNameLength() {
    constexpr std::size_t nameLimit = 255;
    // ".20240501T100000Z_" and a 36-character identifier, the longest archive extension.
    constexpr std::size_t datedArchive = 18 + 36;
    // "." + the seconds (20 digits for any 64-bit value) + "_" + the attempt (4 digits) +
    // ".gzip", then the temporary file's "." in front and ".tmp-XXXXXX" behind.
    constexpr std::size_t gzipTemporary = 1 + 20 + 1 + 4 + 5 + 1 + 11;
    return nameLimit - std::max(datedArchive, gzipTemporary);
}

struct CompressionChain::Task {
    std::mutex mutex;
    std::condition_variable finished;
    bool claimed = false;
    bool done = false;
    std::function<void()> work;

    // Runs the work unless another thread has claimed it; returns whether it ran here.
    bool runIfUnclaimed() {
        std::function<void()> mine;
        {
            const std::lock_guard lock(mutex);
            if (claimed) {
                return false;
            }
            claimed = true;
            // The work holds its sink, which holds this chain: let go of it once taken.
            mine = std::move(work);
            work = nullptr;
        }
        try {
            mine();
        } catch (...) {
            // A failed compression leaves its archive in place; the chain must go on.
        }
        mine = nullptr;
        const std::lock_guard lock(mutex);
        done = true;
        finished.notify_all();
        return true;
    }

    void waitUntilDone() {
        std::unique_lock lock(mutex);
        finished.wait(lock, [this] { return done; });
    }
};

void CompressionChain::start(std::function<void()> task) {
    auto next = std::make_shared<Task>();
    next->work = std::move(task);
    {
        const std::lock_guard lock(mutex_);
        latest_ = next;
    }
    dispatch::runTask([next] { next->runIfUnclaimed(); });
}

void CompressionChain::waitForPrevious() {
    std::shared_ptr<Task> previous;
    {
        const std::lock_guard lock(mutex_);
        previous = latest_;
    }
    if (previous && !previous->runIfUnclaimed()) {
        previous->waitUntilDone();
    }
}

} // namespace vorla
