#pragma once

#include "platform/foundation/Date.hpp"
#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/URL.hpp"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vorla {

// The bytes as one gzip member: deflate at level 9, window bits 31 (gzip container), memory
// level 9, default strategy. Nothing when zlib fails.
std::optional<std::string> gzipCompress(std::string_view bytes);

// The gzip file's path for an archive whose path without its last extension is `basePath`:
// <base>.<seconds since 1970>.gzip, and for a later attempt within the same second
// <base>.<seconds>_<attempt>.gzip, so an existing gzip file is never replaced.
std::string compressedFilePath(std::string_view basePath, foundation::Date now, unsigned attempt);

// Writes the archive as a gzip file beside it, under the first free compressedFilePath of now,
// with the archive's own permission bits (a gzip file is never more readable than the log it
// holds) and its modification date (retention orders records by age). The file appears whole
// or not at all and never replaces another. Gives its path; nothing when the archive is no
// regular file or zlib fails. File failures throw FoundationError; the archive stays as it is.
std::optional<std::string> writeCompressedCopy(const foundation::FileManager& fileManager,
                                               const foundation::URL& archive);

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
