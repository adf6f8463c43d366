#include "extension/SharedOSLogger.hpp"

#include "extension/PathManager.hpp"

namespace vorla::extension {

const std::shared_ptr<OSLogger>& sharedOSLogger() {
    // Never released: rotation reports may still arrive from other threads while the process
    // ends.
    static const auto* const logger = new std::shared_ptr<OSLogger>(
        std::make_shared<OSLogger>(PathManager::consoleLabel, LogLevel::trace, nullptr, "vorla"));
    return *logger;
}

} // namespace vorla::extension
