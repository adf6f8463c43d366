#pragma once

#include "sinks/FileRotationLoggerDelegate.hpp"

namespace vorla::extension {

// Reports every rotation step of the three logs to the system log, so an administrator can
// tell why a log file started afresh. It keeps no state and may be called from any thread.
class VorlaRotationDelegate final : public FileRotationLoggerDelegate {
public:
    void onArchived(const FileRotationLogger& logger, const foundation::URL& file,
                    const foundation::URL& archive) override;
    void onArchiveRemoved(const FileRotationLogger& logger,
                          const foundation::URL& archive) override;
    void onArchiveCompressed(const FileRotationLogger& logger, const foundation::URL& archive,
                             const foundation::URL& gzipFile) override;
    void onCompressedArchiveRemoved(const FileRotationLogger& logger,
                                    const foundation::URL& gzipFile) override;
};

} // namespace vorla::extension
