#include "sinks/FileLogger.hpp"

#include <utility>

namespace vorla {

FileLogger::FileLogger(std::string label, LogLevel logLevel,
                       std::shared_ptr<const LogFormattable> logFormat, foundation::URL fileURL,
                       std::string filePermission, FlushMode flushMode,
                       FileWritingErrorHandlingMode writeMode,
                       std::shared_ptr<const foundation::FileManager> fileManager,
                       std::shared_ptr<const SinkReporter> reporter)
    : FileLoggerable(std::move(label), logLevel, std::move(logFormat), std::move(fileURL),
                     std::move(filePermission), std::move(fileManager), std::move(reporter)),
      flushMode_(flushMode), writeMode_(writeMode) {}

void FileLogger::log(LogLevel, std::string_view string) const {
    appendLine(string, flushMode_, writeMode_);
}

} // namespace vorla
