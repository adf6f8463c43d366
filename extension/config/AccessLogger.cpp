#include "extension/config/AccessLogger.hpp"

#include "extension/SharedOSLogger.hpp"
#include "extension/config/Defaults.hpp"
#include "platform/foundation/Folder.hpp"
#include "platform/foundation/Trust.hpp"
#include "sinks/ArchiveCompression.hpp"

#include <limits>

namespace vorla::extension {

namespace {

// Why root must not log in the folder, or nothing when it may. A missing folder is made here and
// what then stands at its name is checked, so another user who makes it first, in a folder
// where anyone may add names, is refused as one who made it long before would be; and one made
// here is root's for good, so it cannot be taken before the log is opened in it.
std::optional<std::string> untrustedLogFolderReason(const foundation::URL& logFile) {
    try {
        foundation::Folder::open(logFile.deletingLastPathComponent().toPath(), {.create = true});
    } catch (const foundation::UntrustedError& error) {
        return error.what();
    } catch (const foundation::FoundationError&) {
        // A folder that cannot be made or opened fails where the log is opened, with its reason.
    }
    return std::nullopt;
}

} // namespace

AccessLogger::AccessLogger(bool enabled_, std::optional<foundation::URL> logFilePath_,
                           Formatter::type outputFormat_, std::uint8_t maxLogFileCount_,
                           std::uint64_t maxLogFileSize_)
    : enabled(enabled_), logFilePath(std::move(logFilePath_)), outputFormat(outputFormat_),
      maxLogFileCount(maxLogFileCount_), maxLogFileSize(maxLogFileSize_) {}

void AccessLogger::decode(const YamlKeyedContainer& container) {
    enabled = container.decodeBool("enabled");
    logFilePath = logFileURL(container.decodeString("logFilePath"));
    const std::string format = container.decodeString("outputFormat");
    const auto parsedFormat = Formatter::fromString(format);
    if (!parsedFormat) {
        container.fail("outputFormat",
                       "\"" + format + "\" is not \"custom\", \"auditd\" or \"json\"");
    }
    outputFormat = *parsedFormat;
    maxLogFileCount = static_cast<std::uint8_t>(
        container.decodeUnsigned("maxLogFileCount", std::numeric_limits<std::uint8_t>::max()));
    maxLogFileSize =
        container.decodeUnsigned("maxLogFileSize", std::numeric_limits<std::uint64_t>::max());
}

void AccessLogger::encode(YamlNode& mapping) const {
    mapping.add("enabled", YamlNode::boolean(enabled));
    mapping.add("logFilePath", YamlNode::string(logFilePath ? logFilePath->toPath() : ""));
    mapping.add("outputFormat", YamlNode::string(std::string(Formatter::toString(outputFormat))));
    mapping.add("maxLogFileCount", YamlNode::integer(maxLogFileCount));
    mapping.add("maxLogFileSize", YamlNode::integer(maxLogFileSize));
}

void AccessLogger::validate(const foundation::URL& defaultLogPath,
                            const std::vector<Formatter::type>& /*allowedFormats*/,
                            const Defaults& defaults) {
    const auto& logger = *sharedOSLogger();
    if (!logFilePath) {
        logFilePath = defaultLogPath;
        logger.log(LogLevel::warning,
                   "[validation]: logFilePath must be a valid file path. Falling back to default");
    } else if (logFilePath->lastPathComponent().size() > maxLogFileNameLength()) {
        logFilePath = defaultLogPath;
        logger.log(LogLevel::error,
                   "[validation]: the file name of logFilePath must have at most " +
                       std::to_string(maxLogFileNameLength()) +
                       " bytes, or its archives cannot be named. Falling back "
                       "to default");
    } else if (const auto reason = untrustedLogFolderReason(*logFilePath)) {
        // Root must not write, rename or remove where another user decides what is there.
        const std::string path = logFilePath->toPath();
        logFilePath = defaultLogPath;
        logger.log(LogLevel::error, "[validation]: logFilePath " + path +
                                        " lies in a folder that cannot be trusted (" + *reason +
                                        "). Falling back to default");
    }
    if (maxLogFileCount == 0) {
        maxLogFileCount = defaults.maxLogFileCount;
        logger.log(LogLevel::warning,
                   "[validation]: maxLogFileCount must be >= 1. Falling back to default (5)");
    }
    if (maxLogFileSize < 1024) {
        maxLogFileSize = defaults.maxLogFileSize;
        logger.log(
            LogLevel::warning,
            "[validation]: maxLogFileSize must be >= 1024. Falling back to default (5242880)");
    }
}

std::optional<foundation::URL> logFileURL(std::string_view path) {
    // A zero byte would cut the path short where the system reads it: another file entirely.
    if (path.empty() || path.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    return foundation::URL::fileURL(path);
}

} // namespace vorla::extension
