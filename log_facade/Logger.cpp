#include "log_facade/Logger.hpp"

#include "log_facade/LogHandler.hpp"
#include "log_facade/LoggingSystem.hpp"

namespace vorla::logging {

namespace {

constexpr std::string_view notAvailable = "n/a";

} // namespace

// Each process-wide setting is read on its own, and the factory runs only after the read: a
// factory may itself read the provider, or make loggers.
Logger::Logger(std::string label)
    : handler_([&label] {
          std::optional<MetadataProvider> provider = LoggingSystem::metadataProvider();
          return LoggingSystem::factory()(label, provider);
      }()),
      label_(std::move(label)) {}

Logger::Logger(std::string label, const LabelHandlerFactory& factory)
    : handler_(factory(label)), label_(std::move(label)) {}

Logger::Logger(std::string label, const HandlerFactory& factory)
    : handler_(factory(label, LoggingSystem::metadataProvider())), label_(std::move(label)) {}

Logger::Logger(std::string label, MetadataProvider metadataProvider)
    : handler_(LoggingSystem::factory()(label, metadataProvider)), label_(std::move(label)) {
    handler_->setMetadataProvider(std::move(metadataProvider));
}

std::optional<Logger::MetadataProvider> Logger::metadataProvider() const {
    return handler_->metadataProvider();
}

Logger::Level Logger::logLevel() const {
    return handler_->logLevel();
}

void Logger::setLogLevel(Level logLevel) {
    handler_->setLogLevel(logLevel);
}

std::optional<Logger::MetadataValue> Logger::subscript(const std::string& metadataKey) const {
    return handler_->subscript(metadataKey);
}

void Logger::setSubscript(const std::string& metadataKey, std::optional<MetadataValue> value) {
    handler_->setSubscript(metadataKey, std::move(value));
}

void Logger::log(Level level, MessageArgument message, MetadataArgument metadata,
                 SourceArgument source, CallSite site) const {
    const LogHandler& handler = *handler_;
    if (level < handler.logLevel()) {
        return;
    }
    const Message producedMessage = message();
    const std::optional<Metadata> producedMetadata = metadata();
    const std::optional<std::string> producedSource = source();
    const std::string_view resolvedSource =
        producedSource ? std::string_view(*producedSource) : currentModule(FileID{site.file});
    handler.log(level, producedMessage, producedMetadata, resolvedSource, site.file, site.function,
                site.line);
}

std::string_view Logger::currentModule(FileID fileID) {
    const auto slash = fileID.value.find('/');
    return slash == std::string_view::npos ? notAvailable : fileID.value.substr(0, slash);
}

std::string_view Logger::currentModule(FilePath filePath) {
    const std::string_view path = filePath.value;
    const auto lastSlash = path.rfind('/');
    if (lastSlash == std::string_view::npos || lastSlash == 0) {
        return notAvailable;
    }
    const auto previousSlash = path.rfind('/', lastSlash - 1);
    if (previousSlash == std::string_view::npos) {
        return notAvailable;
    }
    return path.substr(previousSlash + 1, lastSlash - previousSlash - 1);
}

} // namespace vorla::logging
