#pragma once

#include "log_facade/Level.hpp"
#include "log_facade/Message.hpp"
#include "log_facade/MetadataProvider.hpp"
#include "log_facade/MetadataValue.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorla::logging {

// Receives the records that a Logger lets through and decides where they go. Handlers are
// values: a Logger holds its own copy (through AnyLogHandler), so a conformer must be copyable,
// and its log operations must be safe to call from several threads on one value at once.
//
// A conformer implements at least one of the two log operations (each default calls the
// other) and brings `using LogHandler::log;` so that the other form stays visible.
class LogHandler {
public:
    using Level = logging::Level;
    using Message = logging::Message;
    using Metadata = logging::Metadata;
    using MetadataValue = logging::MetadataValue;
    using MetadataProvider = logging::MetadataProvider;

    virtual ~LogHandler() = default;

    // Without an override a handler has no provider and ignores the one it is given.
    virtual std::optional<MetadataProvider> metadataProvider() const;
    virtual void setMetadataProvider(std::optional<MetadataProvider> metadataProvider);

    // One record with its source. Without an override it goes to the form without source.
    virtual void log(Level level, const Message& message, const std::optional<Metadata>& metadata,
                     std::string_view source, std::string_view file, std::string_view function,
                     std::uint64_t line) const;

    // One record without a source. Without an override the source is the name of the folder
    // that holds `file`, and the record goes to the form with source.
    virtual void log(Level level, const Message& message, const std::optional<Metadata>& metadata,
                     std::string_view file, std::string_view function, std::uint64_t line) const;

    // One entry of the handler's own metadata; writing no value removes the key.
    virtual std::optional<MetadataValue> subscript(const std::string& metadataKey) const = 0;
    virtual void setSubscript(const std::string& metadataKey,
                              std::optional<MetadataValue> value) = 0;

    virtual Metadata metadata() const = 0;
    virtual void setMetadata(Metadata metadata) = 0;

    virtual Level logLevel() const = 0;
    virtual void setLogLevel(Level logLevel) = 0;
};

} // namespace vorla::logging
