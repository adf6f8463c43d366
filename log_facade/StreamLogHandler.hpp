#pragma once

#include "log_facade/LogHandler.hpp"
#include "log_facade/TextOutputStream.hpp"

#include <memory>
#include <optional>
#include <string>

namespace vorla::logging {

// Writes one line per record to a text stream:
//
//   <time> <level> <label> : <key=value ...> [<source>] <message>
//
// with the metadata part (and its leading space) left out when there is none. Its own metadata
// is rendered once when it changes, so a record without extra metadata costs no rendering.
class StreamLogHandler : public LogHandler {
public:
    // On the shared standard-output or standard-error stream, with the process-wide provider as
    // it is at this moment.
    static StreamLogHandler standardOutput(std::string label);
    static StreamLogHandler standardError(std::string label);
    // The same with the given provider; the process-wide one is not read.
    static StreamLogHandler standardOutput(std::string label,
                                           std::optional<MetadataProvider> metadataProvider);
    static StreamLogHandler standardError(std::string label,
                                          std::optional<MetadataProvider> metadataProvider);

    // A handler at level info with no metadata on any stream.
    StreamLogHandler(std::string label, std::shared_ptr<TextOutputStream> stream,
                     std::optional<MetadataProvider> metadataProvider);

    const std::string& label() const { return label_; }

    std::optional<MetadataProvider> metadataProvider() const override { return metadataProvider_; }
    void setMetadataProvider(std::optional<MetadataProvider> metadataProvider) override {
        metadataProvider_ = std::move(metadataProvider);
    }

    using LogHandler::log;
    void log(Level level, const Message& message, const std::optional<Metadata>& metadata,
             std::string_view source, std::string_view file, std::string_view function,
             std::uint64_t line) const override;

    std::optional<MetadataValue> subscript(const std::string& metadataKey) const override;
    void setSubscript(const std::string& metadataKey, std::optional<MetadataValue> value) override;

    Metadata metadata() const override { return metadata_; }
    void setMetadata(Metadata metadata) override;

    Level logLevel() const override { return logLevel_; }
    void setLogLevel(Level logLevel) override { logLevel_ = logLevel; }

private:
    std::shared_ptr<TextOutputStream> stream_;
    std::string label_;
    Level logLevel_ = Level::info;
    std::optional<MetadataProvider> metadataProvider_;
    // The rendered form of metadata_, none while it is empty; kept in step by every write.
    std::optional<std::string> prettyMetadata_;
    Metadata metadata_;
};

} // namespace vorla::logging
