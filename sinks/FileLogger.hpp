#pragma once

#include "sinks/FileLoggerable.hpp"

namespace vorla {

// A plain file sink: appends each line with its own flush and write-error modes, never rotates.
class FileLogger final : public FileLoggerable {
public:
    // Throws FileError: isNotFile, invalidPermission, then the failures of openFile().
    FileLogger(std::string label, LogLevel logLevel,
               std::shared_ptr<const LogFormattable> logFormat, foundation::URL fileURL,
               std::string filePermission, FlushMode flushMode,
               FileWritingErrorHandlingMode writeMode,
               std::shared_ptr<const foundation::FileManager> fileManager = nullptr,
               std::shared_ptr<const SinkReporter> reporter = nullptr);

    FlushMode flushMode() const { return flushMode_; }
    FileWritingErrorHandlingMode writeMode() const { return writeMode_; }

    void log(LogLevel level, std::string_view string) const override;

private:
    FlushMode flushMode_;
    FileWritingErrorHandlingMode writeMode_;
};

} // namespace vorla
