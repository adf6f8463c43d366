#pragma once

#include "log_facade/LogHandler.hpp"
#include "sinks/SinkHub.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorla {

// Lets code that logs through the generic Logger front end write through our sinks. Each record
// becomes one queued write per sink of the hub, tagged "logfacade", with the logger's label,
// the record's source and the rendered metadata handed to the sinks' formatters as facadeInfo
// ("label", "source", "metadata"). Logging only queues work, so it is safe from any thread.
// The metadata text is the handler's metadata with the record's merged over it, written as
// ["key": value, ...], or the empty text when there is none.
//
// The handler never compares levels: the Logger checks logLevel before calling it, and each
// sink applies its own threshold on its queue. It has no metadata provider.
class SinkHubLogHandler : public logging::LogHandler {
public:
    SinkHubLogHandler(std::string label, SinkHub hub, Metadata metadata = {});

    const std::string& label() const { return label_; }
    const SinkHub& hub() const { return hub_; }

    using LogHandler::log;
    void log(Level level, const Message& message, const std::optional<Metadata>& metadata,
             std::string_view source, std::string_view file, std::string_view function,
             std::uint64_t line) const override;

    std::optional<MetadataValue> subscript(const std::string& metadataKey) const override;
    void setSubscript(const std::string& metadataKey, std::optional<MetadataValue> value) override;

    Metadata metadata() const override { return metadata_; }
    void setMetadata(Metadata metadata) override { metadata_ = std::move(metadata); }

    Level logLevel() const override { return logLevel_; }
    void setLogLevel(Level logLevel) override { logLevel_ = logLevel; }

private:
    Level logLevel_ = Level::info;
    Metadata metadata_;
    std::string label_;
    SinkHub hub_;
};

} // namespace vorla
