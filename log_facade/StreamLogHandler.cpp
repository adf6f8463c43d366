#include "log_facade/StreamLogHandler.hpp"

#include "log_facade/LoggingSystem.hpp"
#include "log_facade/StdioOutputStream.hpp"
#include "log_facade/TextEscaping.hpp"

#include <algorithm>
#include <ctime>
#include <vector>

namespace vorla::logging {

namespace {

// "key=value" pairs sorted by key (byte order is Unicode scalar order in UTF-8), joined by
// single spaces; none for an empty map. Control characters are escaped, so metadata from other
// processes cannot break the line.
std::optional<std::string> prettify(const logging::Metadata& metadata) {
    if (metadata.empty()) {
        return std::nullopt;
    }
    std::vector<const logging::Metadata::value_type*> entries;
    entries.reserve(metadata.size());
    for (const auto& entry : metadata) {
        entries.push_back(&entry);
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto* lhs, const auto* rhs) { return lhs->first < rhs->first; });
    std::string rendered;
    for (const auto* entry : entries) {
        if (!rendered.empty()) {
            rendered += ' ';
        }
        logging::appendEscaped(rendered, entry->first);
        rendered += '=';
        logging::appendEscaped(rendered, entry->second.description());
    }
    return rendered;
}

// Local time to the second with its UTC offset, "2024-05-01T12:00:00+0200".
std::string timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return "<unknown>";
    }
    char buffer[255] = {};
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S%z", &local);
    return buffer;
}

} // namespace

StreamLogHandler StreamLogHandler::standardOutput(std::string label) {
    return standardOutput(std::move(label), LoggingSystem::metadataProvider());
}

StreamLogHandler StreamLogHandler::standardError(std::string label) {
    return standardError(std::move(label), LoggingSystem::metadataProvider());
}

StreamLogHandler
StreamLogHandler::standardOutput(std::string label,
                                 std::optional<MetadataProvider> metadataProvider) {
    return StreamLogHandler(std::move(label), StdioOutputStream::standardOutput(),
                            std::move(metadataProvider));
}

StreamLogHandler StreamLogHandler::standardError(std::string label,
                                                 std::optional<MetadataProvider> metadataProvider) {
    return StreamLogHandler(std::move(label), StdioOutputStream::standardError(),
                            std::move(metadataProvider));
}

StreamLogHandler::StreamLogHandler(std::string label, std::shared_ptr<TextOutputStream> stream,
                                   std::optional<MetadataProvider> metadataProvider)
    : stream_(std::move(stream)), label_(std::move(label)),
      metadataProvider_(std::move(metadataProvider)) {}

void StreamLogHandler::log(Level level, const Message& message,
                           const std::optional<Metadata>& metadata, std::string_view source,
                           std::string_view, std::string_view, std::uint64_t) const {
    const Metadata provided = metadataProvider_ ? metadataProvider_->get() : Metadata{};
    const bool recordHasMetadata = metadata && !metadata->empty();
    std::optional<std::string> rendered;
    if (provided.empty() && !recordHasMetadata) {
        rendered = prettyMetadata_;
    } else {
        Metadata effective = metadata_;
        logging::mergeOverwriting(effective, provided);
        if (recordHasMetadata) {
            logging::mergeOverwriting(effective, *metadata);
        }
        rendered = prettify(effective);
    }

    std::string line = timestamp();
    line += ' ';
    line += logging::rawValue(level);
    line += ' ';
    logging::appendEscaped(line, label_);
    line += " :";
    if (rendered) {
        line += ' ';
        line += *rendered;
    }
    line += " [";
    logging::appendEscaped(line, source);
    line += "] ";
    logging::appendEscaped(line, message.value);
    line += '\n';
    stream_->write(line);
}

std::optional<LogHandler::MetadataValue>
StreamLogHandler::subscript(const std::string& metadataKey) const {
    return logging::entryValue(metadata_, metadataKey);
}

void StreamLogHandler::setSubscript(const std::string& metadataKey,
                                    std::optional<MetadataValue> value) {
    logging::setEntryValue(metadata_, metadataKey, std::move(value));
    prettyMetadata_ = prettify(metadata_);
}

void StreamLogHandler::setMetadata(Metadata metadata) {
    metadata_ = std::move(metadata);
    prettyMetadata_ = prettify(metadata_);
}

} // namespace vorla::logging
