#pragma once

#include "log_facade/LogHandler.hpp"
#include "log_facade/TextOutputStream.hpp"

#include <memory>
#include <string>
#include <vector>

namespace vorla::logging::testing {

struct Record {
    LogHandler::Level level;
    std::string message;
    std::optional<LogHandler::Metadata> metadata;
    std::string source;
    std::string file;
};

// A handler that keeps every record it is given; copies share the record list, so a test can
// read what reached a copy held by a Logger or a multiplexer.
class RecordingLogHandler : public LogHandler {
public:
    explicit RecordingLogHandler(Level level = Level::trace) : logLevel_(level) {}

    using LogHandler::log;
    void log(Level level, const Message& message, const std::optional<Metadata>& metadata,
             std::string_view source, std::string_view file, std::string_view,
             std::uint64_t) const override {
        records_->push_back(
            {level, message.value, metadata, std::string(source), std::string(file)});
    }

    std::optional<MetadataProvider> metadataProvider() const override { return provider_; }
    void setMetadataProvider(std::optional<MetadataProvider> provider) override {
        provider_ = std::move(provider);
    }

    std::optional<MetadataValue> subscript(const std::string& key) const override {
        return logging::entryValue(metadata_, key);
    }
    void setSubscript(const std::string& key, std::optional<MetadataValue> value) override {
        logging::setEntryValue(metadata_, key, std::move(value));
    }

    Metadata metadata() const override { return metadata_; }
    void setMetadata(Metadata metadata) override { metadata_ = std::move(metadata); }

    Level logLevel() const override { return logLevel_; }
    void setLogLevel(Level level) override { logLevel_ = level; }

    const std::vector<Record>& records() const { return *records_; }

private:
    std::shared_ptr<std::vector<Record>> records_ = std::make_shared<std::vector<Record>>();
    Level logLevel_;
    std::optional<MetadataProvider> provider_;
    Metadata metadata_;
};

// A stream that keeps what is written to it; copies of a handler share it.
class RecordingStream : public TextOutputStream {
public:
    void write(std::string_view text) override { written.emplace_back(text); }
    std::vector<std::string> written;
};

} // namespace vorla::logging::testing
