#include "extension/SystemLogReporter.hpp"

#include "extension/SharedOSLogger.hpp"

namespace vorla::extension {

void SystemLogReporter::failure(std::string_view message) const {
    SinkReporter::failure(message);
    sharedOSLogger()->log(LogLevel::error, message);
}

void SystemLogReporter::notice(std::string_view message) const {
    SinkReporter::notice(message);
    sharedOSLogger()->log(LogLevel::info, message);
}

} // namespace vorla::extension
