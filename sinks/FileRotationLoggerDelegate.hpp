#pragma once

#include "platform/foundation/URL.hpp"

namespace vorla {

class FileRotationLogger;

// Hears of every rotation step that succeeded. A sink holds its delegate weakly: once the
// delegate is gone the calls are skipped. onArchived, onArchiveRemoved and
// onCompressedArchiveRemoved arrive on the thread that writes and rotates; onArchiveCompressed
// on the compression task's thread, possibly while later lines are written. A delegate must
// accept calls from both.
class FileRotationLoggerDelegate {
public:
    virtual ~FileRotationLoggerDelegate() = default;

    // The log file was moved to its archive name.
    virtual void onArchived(const FileRotationLogger& logger, const foundation::URL& fileURL,
                            const foundation::URL& archiveURL) = 0;
    // A surplus archive was removed.
    virtual void onArchiveRemoved(const FileRotationLogger& logger,
                                  const foundation::URL& archiveURL) = 0;
    // The archive was written as a gzip file, which is on storage, and then removed.
    virtual void onArchiveCompressed(const FileRotationLogger& logger,
                                     const foundation::URL& archiveURL,
                                     const foundation::URL& compressedFileURL) = 0;
    // A surplus gzip file was removed.
    virtual void onCompressedArchiveRemoved(const FileRotationLogger& logger,
                                            const foundation::URL& compressedFileURL) = 0;

protected:
    FileRotationLoggerDelegate() = default;
    FileRotationLoggerDelegate(const FileRotationLoggerDelegate&) = default;
    FileRotationLoggerDelegate& operator=(const FileRotationLoggerDelegate&) = default;
};

} // namespace vorla
