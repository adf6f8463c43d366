#pragma once

#include "log_facade/AnyLogHandler.hpp"
#include "log_facade/CallSite.hpp"
#include "log_facade/Deferred.hpp"
#include "log_facade/Level.hpp"
#include "log_facade/Message.hpp"
#include "log_facade/MetadataProvider.hpp"
#include "log_facade/MetadataValue.hpp"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vorla::logging {

// Makes the handler of a new Logger from its label alone.
using LabelHandlerFactory = std::function<AnyLogHandler(const std::string& label)>;
// Makes the handler of a new Logger from its label and the process-wide metadata provider.
using HandlerFactory = std::function<AnyLogHandler(
    const std::string& label, const std::optional<logging::MetadataProvider>& metadataProvider)>;

// The value through which code emits records. It does no output itself: it checks the level,
// works out the caller's arguments only for a record that passes, and hands the record to its
// handler on the caller's thread. Several threads may log through one Logger at once; changing
// its level, metadata or handler needs exclusive access to that value.
class Logger {
public:
    using Level = logging::Level;
    using Message = logging::Message;
    using MetadataValue = logging::MetadataValue;
    using Metadata = logging::Metadata;
    using MetadataProvider = logging::MetadataProvider;

    // A file identifier ("<module>/<file name>") and a file path, for currentModule.
    struct FileID {
        std::string_view value;
    };
    struct FilePath {
        std::string_view value;
    };

    // The deferred arguments of a record and its call site.
    using MessageArgument = logging::Deferred<Message>;
    using MetadataArgument = logging::Deferred<std::optional<Metadata>>;
    using SourceArgument = logging::Deferred<std::optional<std::string>>;
    using CallSite = logging::CallSite;

    // The handler comes from the process-wide factory, given the process-wide provider.
    explicit Logger(std::string label);
    // The handler comes from `factory`; the process-wide settings are not consulted.
    Logger(std::string label, const LabelHandlerFactory& factory);
    // The handler comes from `factory`, given the process-wide provider.
    Logger(std::string label, const HandlerFactory& factory);
    // The handler comes from the process-wide factory, given `metadataProvider`, which then
    // also becomes the handler's provider.
    Logger(std::string label, MetadataProvider metadataProvider);

    const AnyLogHandler& handler() const { return handler_; }
    void setHandler(AnyLogHandler handler) { handler_ = std::move(handler); }

    const std::string& label() const { return label_; }

    std::optional<MetadataProvider> metadataProvider() const;

    Level logLevel() const;
    void setLogLevel(Level logLevel);

    std::optional<MetadataValue> subscript(const std::string& metadataKey) const;
    void setSubscript(const std::string& metadataKey, std::optional<MetadataValue> value);

    // Hands one record to the handler unless `level` is below the handler's level. Only then
    // are the message, the metadata and the source worked out, once each and in that order.
    // Without a source, the source is the module named by the call site's file identifier.
    void log(Level level, MessageArgument message, MetadataArgument metadata = {},
             SourceArgument source = {}, CallSite site = logging::SourceLocation::current()) const;

    void trace(MessageArgument message, MetadataArgument metadata = {}, SourceArgument source = {},
               CallSite site = logging::SourceLocation::current()) const {
        log(Level::trace, message, metadata, source, site);
    }
    void debug(MessageArgument message, MetadataArgument metadata = {}, SourceArgument source = {},
               CallSite site = logging::SourceLocation::current()) const {
        log(Level::debug, message, metadata, source, site);
    }
    void info(MessageArgument message, MetadataArgument metadata = {}, SourceArgument source = {},
              CallSite site = logging::SourceLocation::current()) const {
        log(Level::info, message, metadata, source, site);
    }
    void notice(MessageArgument message, MetadataArgument metadata = {}, SourceArgument source = {},
                CallSite site = logging::SourceLocation::current()) const {
        log(Level::notice, message, metadata, source, site);
    }
    void warning(MessageArgument message, MetadataArgument metadata = {},
                 SourceArgument source = {},
                 CallSite site = logging::SourceLocation::current()) const {
        log(Level::warning, message, metadata, source, site);
    }
    void error(MessageArgument message, MetadataArgument metadata = {}, SourceArgument source = {},
               CallSite site = logging::SourceLocation::current()) const {
        log(Level::error, message, metadata, source, site);
    }
    void critical(MessageArgument message, MetadataArgument metadata = {},
                  SourceArgument source = {},
                  CallSite site = logging::SourceLocation::current()) const {
        log(Level::critical, message, metadata, source, site);
    }

    // The text before the first "/" of a file identifier; "n/a" without a "/".
    static std::string_view currentModule(FileID fileID);
    // The name of the folder that holds the file: the text between the last "/" and the one
    // before it; "n/a" when the path holds fewer than two.
    static std::string_view currentModule(FilePath filePath);

private:
    AnyLogHandler handler_;
    std::string label_;
};

} // namespace vorla::logging
