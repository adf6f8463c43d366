#include "extension/VorlaRotationDelegate.hpp"

#include "extension/SharedOSLogger.hpp"

namespace vorla::extension {

void VorlaRotationDelegate::onArchived(const FileRotationLogger&, const foundation::URL&,
                                       const foundation::URL&) {
    sharedOSLogger()->log(LogLevel::info, "log rotate action happened");
}

void VorlaRotationDelegate::onArchiveRemoved(const FileRotationLogger&, const foundation::URL&) {
    sharedOSLogger()->log(LogLevel::info, "old log removal happened");
}

void VorlaRotationDelegate::onArchiveCompressed(const FileRotationLogger&,
                                                const foundation::URL& archive,
                                                const foundation::URL& gzipFile) {
    sharedOSLogger()->log(LogLevel::info,
                          "gzipped " + archive.description() + " into " + gzipFile.description());
}

void VorlaRotationDelegate::onCompressedArchiveRemoved(const FileRotationLogger&,
                                                       const foundation::URL&) {
    sharedOSLogger()->log(LogLevel::info, "obsolate gzip was rotated");
}

} // namespace vorla::extension
