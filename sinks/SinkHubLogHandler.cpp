#include "sinks/SinkHubLogHandler.hpp"

#include "log_facade/TextEscaping.hpp"

#include <utility>

namespace vorla {

namespace {

// Each of the front end's seven levels has its namesake among the sink levels.
LogLevel sinkLevel(logging::Level level) {
    using Level = logging::Level;
    switch (level) {
    case Level::trace:
        return LogLevel::trace;
    case Level::debug:
        return LogLevel::debug;
    case Level::info:
        return LogLevel::info;
    case Level::notice:
        return LogLevel::notice;
    case Level::warning:
        return LogLevel::warning;
    case Level::error:
        return LogLevel::error;
    case Level::critical:
        return LogLevel::critical;
    }
    return LogLevel::critical;
}

// The record's metadata merged over the handler's, the record's value winning. Control
// characters in values are escaped like those in keys, so metadata that other processes
// supplied cannot end a line.
std::string metadataText(const logging::Metadata& handlerMetadata,
                         const std::optional<logging::Metadata>& recordMetadata) {
    using logging::Metadata;
    const auto render = [](const Metadata& metadata) {
        if (metadata.empty()) {
            return std::string();
        }
        std::string text = "[";
        const char* separator = "";
        for (const auto& [key, value] : metadata) {
            text += separator;
            text += logging::quoted(key);
            text += ": ";
            logging::appendEscaped(text, value.description());
            separator = ", ";
        }
        return text + "]";
    };
    if (!recordMetadata) {
        return render(handlerMetadata);
    }
    Metadata merged = handlerMetadata;
    logging::mergeOverwriting(merged, *recordMetadata);
    return render(merged);
}

} // namespace

SinkHubLogHandler::SinkHubLogHandler(std::string label, SinkHub hub, Metadata metadata)
    : metadata_(std::move(metadata)), label_(std::move(label)), hub_(std::move(hub)) {}

void SinkHubLogHandler::log(Level level, const Message& message,
                            const std::optional<Metadata>& metadata, std::string_view source,
                            std::string_view file, std::string_view function,
                            std::uint64_t line) const {
    const FacadeInfo facadeInfo{
        {"label", label_},
        {"source", std::string(source)},
        {"metadata", metadataText(metadata_, metadata)},
    };
    // The hub stamps the record with one date and one thread id for all of its sinks, and hands
    // each sink its own label.
    hub_.logMessage(sinkLevel(level), message.value, "logfacade", function, file, line, facadeInfo);
}

std::optional<logging::LogHandler::MetadataValue>
SinkHubLogHandler::subscript(const std::string& metadataKey) const {
    return logging::entryValue(metadata_, metadataKey);
}

void SinkHubLogHandler::setSubscript(const std::string& metadataKey,
                                     std::optional<MetadataValue> value) {
    logging::setEntryValue(metadata_, metadataKey, std::move(value));
}

} // namespace vorla
