#include "sinks/OSLogger.hpp"

#include <utility>

namespace vorla {

OSLogger::OSLogger(std::string label, LogLevel logLevel,
                   std::shared_ptr<const LogFormattable> logFormat, std::string category)
    : Loggerable(std::move(label), logLevel, std::move(logFormat)),
      osLog_(this->label(), std::move(category)) {}

oslog::LogType OSLogger::logType(LogLevel level) {
    switch (level) {
    case LogLevel::trace:
    case LogLevel::verbose:
    case LogLevel::debug:
        return oslog::LogType::debug;
    case LogLevel::info:
    case LogLevel::notice:
        return oslog::LogType::info;
    case LogLevel::warning:
        return oslog::LogType::defaultType;
    case LogLevel::error:
        return oslog::LogType::error;
    case LogLevel::critical:
        return oslog::LogType::fault;
    }
    return oslog::LogType::defaultType;
}

void OSLogger::log(LogLevel level, std::string_view string) const {
    osLog_.write(logType(level), string);
}

} // namespace vorla
