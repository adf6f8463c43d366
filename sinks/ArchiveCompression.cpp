#include "sinks/ArchiveCompression.hpp"

#include "platform/dispatch/Dispatch.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/FreeName.hpp"

#include <algorithm>
#include <zlib.h>

namespace vorla {

std::optional<std::string> gzipCompress(std::string_view bytes) {
    constexpr int level = 9;
    constexpr int gzipWindowBits = 31;
    constexpr int memoryLevel = 9;
    // zlib counts input in 32 bits: a large archive is fed in slices.
    constexpr std::size_t sliceSize = std::size_t{1} << 30;
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, gzipWindowBits, memoryLevel, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        return std::nullopt;
    }
    std::string compressed;
    compressed.reserve(
        deflateBound(&stream, static_cast<uLong>(std::min(bytes.size(), sliceSize))));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    std::size_t remaining = bytes.size();
    char buffer[1 << 16];
    int flush = Z_NO_FLUSH;
    bool failed = false;
    while (flush != Z_FINISH && !failed) {
        const std::size_t slice = std::min(remaining, sliceSize);
        stream.avail_in = static_cast<uInt>(slice);
        remaining -= slice;
        flush = remaining == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            if (deflate(&stream, flush) == Z_STREAM_ERROR) {
                failed = true;
                break;
            }
            compressed.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    if (failed) {
        return std::nullopt;
    }
    return compressed;
}

std::string compressedFilePath(std::string_view basePath, foundation::Date now, unsigned attempt) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    std::string path = std::string(basePath) + "." + std::to_string(seconds);
    if (attempt > 0) {
        path += "_" + std::to_string(attempt);
    }
    return path + ".gzip";
}

namespace {

// Enough attempts for any number of archives that one second can produce.
constexpr unsigned maxNameAttempts = 10000;

} // namespace

std::optional<std::string> writeCompressedCopy(const foundation::FileManager& fileManager,
                                               const foundation::URL& archive) {
    const std::string archivePath = archive.toPath();
    const auto attributes = fileManager.attributesOfItem(archivePath);
    if (!attributes.isRegularFile) {
        return std::nullopt;
    }
    const auto compressed = gzipCompress(fileManager.contentsOfFile(archivePath));
    if (!compressed) {
        return std::nullopt;
    }
    const std::string basePath = archive.deletingPathExtension().toPath();
    const auto now = foundation::now();
    std::string gzipPath = foundation::takeFreeName(
        maxNameAttempts,
        [&](unsigned attempt) { return compressedFilePath(basePath, now, attempt); },
        [&](const std::string& name) {
            fileManager.createFile(name, *compressed, attributes.posixPermissions, false);
        });
    try {
        fileManager.setModificationDate(gzipPath, attributes.modificationDate);
    } catch (const foundation::FoundationError&) {
    }
    return gzipPath;
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
