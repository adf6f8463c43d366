#include "log_facade/MultiplexLogHandler.hpp"

#include <algorithm>

namespace vorla::logging {

namespace {

LogHandler::Level lowestLevel(const std::vector<AnyLogHandler>& handlers) {
    const auto lowest = std::min_element(handlers.begin(), handlers.end(),
                                         [](const AnyLogHandler& lhs, const AnyLogHandler& rhs) {
                                             return lhs->logLevel() < rhs->logLevel();
                                         });
    return lowest == handlers.end() ? LogHandler::Level::trace : (*lowest)->logLevel();
}

} // namespace

MultiplexLogHandler::MultiplexLogHandler(std::vector<AnyLogHandler> handlers,
                                         std::optional<MetadataProvider> metadataProvider)
    : handlers_(std::move(handlers)), effectiveLogLevel_(lowestLevel(handlers_)),
      metadataProvider_(std::move(metadataProvider)) {}

std::optional<LogHandler::MetadataProvider> MultiplexLogHandler::metadataProvider() const {
    std::vector<MetadataProvider> providers;
    for (const AnyLogHandler& handler : handlers_) {
        if (auto provider = handler->metadataProvider()) {
            providers.push_back(std::move(*provider));
        }
    }
    if (metadataProvider_) {
        providers.push_back(*metadataProvider_);
    }
    // One handler's provider, or the multiplexer's own alone, is passed on as it is.
    if (handlers_.size() == 1 && providers.size() == 1) {
        return providers.front();
    }
    if (providers.empty()) {
        return std::nullopt;
    }
    return MetadataProvider::multiplex(std::move(providers));
}

void MultiplexLogHandler::setMetadataProvider(std::optional<MetadataProvider> metadataProvider) {
    for (AnyLogHandler& handler : handlers_) {
        handler->setMetadataProvider(metadataProvider);
    }
}

void MultiplexLogHandler::log(Level level, const Message& message,
                              const std::optional<Metadata>& metadata, std::string_view source,
                              std::string_view file, std::string_view function,
                              std::uint64_t line) const {
    for (const AnyLogHandler& handler : handlers_) {
        if (handler->logLevel() <= level) {
            handler->log(level, message, metadata, source, file, function, line);
        }
    }
}

std::optional<LogHandler::MetadataValue>
MultiplexLogHandler::subscript(const std::string& metadataKey) const {
    for (const AnyLogHandler& handler : handlers_) {
        if (auto value = handler->subscript(metadataKey)) {
            return value;
        }
    }
    return std::nullopt;
}

void MultiplexLogHandler::setSubscript(const std::string& metadataKey,
                                       std::optional<MetadataValue> value) {
    for (AnyLogHandler& handler : handlers_) {
        handler->setSubscript(metadataKey, value);
    }
}

LogHandler::Metadata MultiplexLogHandler::metadata() const {
    Metadata merged;
    for (const AnyLogHandler& handler : handlers_) {
        logging::mergeOverwriting(merged, handler->metadata());
        if (auto provider = handler->metadataProvider()) {
            logging::mergeOverwriting(merged, provider->get());
        }
    }
    if (metadataProvider_) {
        logging::mergeOverwriting(merged, metadataProvider_->get());
    }
    return merged;
}

void MultiplexLogHandler::setMetadata(Metadata metadata) {
    for (AnyLogHandler& handler : handlers_) {
        handler->setMetadata(metadata);
    }
}

void MultiplexLogHandler::setLogLevel(Level logLevel) {
    for (AnyLogHandler& handler : handlers_) {
        handler->setLogLevel(logLevel);
    }
    effectiveLogLevel_ = logLevel;
}

} // namespace vorla::logging
