#include "log_facade/LogHandler.hpp"

#include "log_facade/Logger.hpp"

namespace vorla::logging {

std::optional<LogHandler::MetadataProvider> LogHandler::metadataProvider() const {
    return std::nullopt;
}

void LogHandler::setMetadataProvider(std::optional<MetadataProvider>) {}

void LogHandler::log(Level level, const Message& message, const std::optional<Metadata>& metadata,
                     std::string_view, std::string_view file, std::string_view function,
                     std::uint64_t line) const {
    log(level, message, metadata, file, function, line);
}

void LogHandler::log(Level level, const Message& message, const std::optional<Metadata>& metadata,
                     std::string_view file, std::string_view function, std::uint64_t line) const {
    log(level, message, metadata, Logger::currentModule(Logger::FilePath{file}), file, function,
        line);
}

} // namespace vorla::logging
