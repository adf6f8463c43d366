#pragma once

#include "platform/foundation/Date.hpp"
#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/Folder.hpp"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vorla {

// Compresses what `read` gives (0 at its end) as one gzip member, handed to `write` piece by
// piece, so memory stays the same whatever the size: deflate at level 9, window bits 31 (gzip
// container), memory level 9, default strategy. False when zlib fails.
bool gzipStream(const std::function<std::size_t(char* buffer, std::size_t size)>& read,
                const std::function<void(std::string_view bytes)>& write);
// The bytes as one gzip member, as gzipStream makes it; nothing when zlib fails.
std::optional<std::string> gzipCompress(std::string_view bytes);

// The gzip file's name for an archive whose name without its last extension is `baseName`:
// <base>.<seconds since 1970>.gzip, and for a later attempt within the same second
// <base>.<seconds>_<attempt>.gzip, so an existing gzip file is never replaced.
std::string compressedFileName(std::string_view baseName, foundation::Date now, unsigned attempt);

struct CompressedCopy {
    // The gzip file's name in the archive's folder.
    std::string name;
    // The archive as it was opened and read, to tell whether its name still holds it.
    foundation::FileAttributes archive;
};

// Writes the archive `archiveName` of the folder as a gzip file beside it, under the first
// free compressedFileName of now, read from one descriptor that never follows a link. The
// archive must be one the sink may touch (untrustedRecordReason) of at most `sizeLimit` bytes,
// else UntrustedError. The gzip file keeps the archive's modification date (retention orders
// records by age) and its permission bits, but never more than the log's own
// (`permissionBits`) and never set-id, sticky or group or other write bits. It appears whole
// or not at all and never replaces another, and it is kept only once its name is on storage.
// Nothing when zlib fails; file failures throw FoundationError; the archive stays as it is.
std::optional<CompressedCopy> writeCompressedCopy(const foundation::FileManager& fileManager,
                                                  const foundation::Folder& folder,
                                                  std::string_view archiveName,
                                                  std::uint16_t permissionBits,
                                                  std::uint64_t sizeLimit);

// Whether the open gzip file decompresses to exactly the bytes of the open archive, both read
// from where they stand to their ends as streams, so memory stays bounded: what a run stopped
// between writing an archive's gzip copy and removing the archive leaves behind.
bool holdsSameBytes(foundation::FileHandle& gzip, foundation::FileHandle& archive);

// The longest log-file name whose derived names all fit in one name of the file system: its
// dated archives, its gzip files with their attempt numbers, and their temporary files.
// A longer name would make every rotation fail.
std::size_t maxLogFileNameLength();

// The compressions of one sink, one after another: a rotation waits until the previous
// archive's compression has finished before it renames anything, so a task never finds its
// archive moved to another name. A task that has not started yet when the rotation comes is
// run by the rotating thread itself, so waiting never depends on a free worker.
class CompressionChain {
public:
    // Starts the task in the background; it counts as the latest task of the chain.
    void start(std::function<void()> task);
    // Returns once the latest task has finished (running it here if no worker has yet).
    void waitForPrevious();

private:
    struct Task;

    std::mutex mutex_;
    std::shared_ptr<Task> latest_;
};

} // namespace vorla
