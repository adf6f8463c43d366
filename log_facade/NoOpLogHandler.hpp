#pragma once

#include "log_facade/LogHandler.hpp"

namespace vorla::logging {

// Discards every record. It reports level critical, so a Logger over it still works out the
// arguments of critical records before they are dropped.
class NoOpLogHandler : public LogHandler {
public:
    NoOpLogHandler() = default;
    explicit NoOpLogHandler(const std::string& /*label*/) {}

    using LogHandler::log;
    void log(Level, const Message&, const std::optional<Metadata>&, std::string_view,
             std::string_view, std::string_view, std::uint64_t) const override {}
    void log(Level, const Message&, const std::optional<Metadata>&, std::string_view,
             std::string_view, std::uint64_t) const override {}

    std::optional<MetadataValue> subscript(const std::string&) const override {
        return std::nullopt;
    }
    void setSubscript(const std::string&, std::optional<MetadataValue>) override {}

    Metadata metadata() const override { return {}; }
    void setMetadata(Metadata) override {}

    Level logLevel() const override { return Level::critical; }
    void setLogLevel(Level) override {}
};

} // namespace vorla::logging
