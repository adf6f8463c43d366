#include "extension/Logger.hpp"

#include "extension/ErrorLogFormatter.hpp"
#include "extension/SharedOSLogger.hpp"
#include "extension/SystemLogReporter.hpp"

#include <chrono>
#include <exception>
#include <utility>

namespace vorla::extension {

namespace {

// Every log file of the extension is readable by its group (the administrators) only.
constexpr const char* filePermission = "640";
// The error log is the extension's own and is not configurable.
constexpr std::uint64_t errorLogMaxFileSize = 5242880;
constexpr std::uint8_t errorLogMaxFileCount = 5;
// How long the end of the process waits for the error lines still queued.
constexpr double errorFlushTimeoutSeconds = 5;

struct SinkSettings {
    const std::string& label;
    // The word in the system-log message: "audit", "access" or "extension".
    const char* name;
    std::shared_ptr<const LogFormattable> logFormat;
    foundation::URL fileURL;
    std::uint64_t maxFileSize;
    std::uint8_t maxArchivedFilesCount;
    bool compressArchived;
};

SinkSettings sectionSettings(const std::string& label, const char* name,
                             const AccessLogger& section, const foundation::URL& defaultURL,
                             bool compressArchives) {
    // Validation always leaves a path; the default one stands in should a section lack it.
    return {label,
            name,
            nullptr,
            section.logFilePath.value_or(defaultURL),
            section.maxLogFileSize,
            section.maxLogFileCount,
            compressArchives};
}

std::shared_ptr<FileRotationLogger>
makeSink(const SinkSettings& settings, const std::shared_ptr<VorlaRotationDelegate>& delegate) {
    try {
        auto sink = std::make_shared<FileRotationLogger>(
            settings.label, LogLevel::trace, settings.logFormat, settings.fileURL, filePermission,
            RotationConfig{RotationConfig::SuffixExtension::numbering, settings.maxFileSize,
                           settings.maxArchivedFilesCount},
            delegate, settings.compressArchived, nullptr, std::make_shared<SystemLogReporter>());
        sink->finishInterruptedWork();
        return sink;
    } catch (const std::exception& error) {
        sharedOSLogger()->log(LogLevel::error, std::string("could not create ") + settings.name +
                                                   " logger. error: " + error.what());
        throw Logger::InitErr::create(settings.label, error.what());
    }
}

} // namespace

Logger::InitErr::InitErr(Kind kind, std::string label, std::string err)
    : std::runtime_error(kind == Kind::create ? label + ": " + err : err), kind_(kind),
      label_(std::move(label)), err_(std::move(err)) {}

Logger::InitErr Logger::InitErr::create(std::string label, std::string err) {
    return InitErr(Kind::create, std::move(label), std::move(err));
}

Logger::InitErr Logger::InitErr::delegate(std::string err) {
    return InitErr(Kind::delegate, "", std::move(err));
}

Logger::Logger(const PathManager& pathManager, const Config& config,
               std::shared_ptr<const foundation::DateFormatter> dateFormatter,
               std::shared_ptr<VorlaRotationDelegate> delegate)
    : delegate_(std::move(delegate)) {
    if (!delegate_) {
        throw InitErr::delegate("delegate is null");
    }
    audit_ = makeSink(sectionSettings(pathManager.auditLabel(), "audit", *config.auditLogger,
                                      pathManager.auditLogURL(), config.compressArchives),
                      delegate_);
    access_ = makeSink(sectionSettings(pathManager.accessLabel(), "access", *config.accessLogger,
                                       pathManager.accessLogURL(), config.compressArchives),
                       delegate_);
    errorSink_ =
        makeSink({pathManager.errorLabel(), "extension",
                  std::make_shared<ErrorLogFormatter>(std::move(dateFormatter)),
                  pathManager.errorLogURL(), errorLogMaxFileSize, errorLogMaxFileCount, false},
                 delegate_);
    error_ = SinkHub({errorSink_});
}

void Logger::logError(std::string message, const char* function, const char* file,
                      unsigned line) const {
    errorLinesLogged_.store(true, std::memory_order_release);
    error_.info([&message] { return std::move(message); }, "", function, file, line);
}

bool Logger::flushErrors(double timeoutSeconds) const {
    return error_.flush(timeoutSeconds) == WaitingResult::success;
}

void Logger::finishWriting() const {
    if (errorLinesLogged_.load(std::memory_order_acquire)) {
        // Error lines still queued are written (or held) before the held ones are looked at.
        flushErrors(errorFlushTimeoutSeconds);
    }
    for (const auto* sink : {&audit_, &access_, &errorSink_}) {
        (*sink)->writeHeldLines();
    }
}

} // namespace vorla::extension
