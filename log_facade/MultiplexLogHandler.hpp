#pragma once

#include "log_facade/AnyLogHandler.hpp"
#include "log_facade/LogHandler.hpp"

#include <optional>
#include <vector>

namespace vorla::logging {

// Fans each record out to several handlers, each of which sees it when the record is at or
// above that handler's own level. It holds its own copies of the handlers, so changes made
// through it reach only those copies. Meant for at least one handler.
class MultiplexLogHandler : public LogHandler {
public:
    explicit MultiplexLogHandler(std::vector<AnyLogHandler> handlers,
                                 std::optional<MetadataProvider> metadataProvider = std::nullopt);

    // One provider for everything that contributes metadata: the handlers' providers in order,
    // then the multiplexer's own; none when there is none.
    std::optional<MetadataProvider> metadataProvider() const override;
    // Sets the provider of every handler; the multiplexer's own stays as it is.
    void setMetadataProvider(std::optional<MetadataProvider> metadataProvider) override;

    using LogHandler::log;
    void log(Level level, const Message& message, const std::optional<Metadata>& metadata,
             std::string_view source, std::string_view file, std::string_view function,
             std::uint64_t line) const override;

    // The first handler's value for the key, in order (providers are not asked).
    std::optional<MetadataValue> subscript(const std::string& metadataKey) const override;
    void setSubscript(const std::string& metadataKey, std::optional<MetadataValue> value) override;

    // Every handler's metadata and provider merged in order, then the multiplexer's provider;
    // later contributions win. Empty without handlers.
    Metadata metadata() const override;
    void setMetadata(Metadata metadata) override;

    // The lowest level among the handlers; a write sets every handler's level.
    Level logLevel() const override { return effectiveLogLevel_; }
    void setLogLevel(Level logLevel) override;

private:
    std::vector<AnyLogHandler> handlers_;
    Level effectiveLogLevel_;
    std::optional<MetadataProvider> metadataProvider_;
};

} // namespace vorla::logging
