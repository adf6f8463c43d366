#pragma once

#include "log_facade/Logger.hpp"

#include <optional>

namespace vorla::logging {

// The two process-wide settings of the logger front end: the factory that makes the handler of
// a label-only Logger, and the metadata provider that such loggers and the standard-stream
// handlers pick up. Each can be set once per process; until then a Logger writes to standard
// output at level info without a provider. Loggers made earlier keep what they were given.
class LoggingSystem {
public:
    LoggingSystem() = delete;

    // Sets the factory; the provider stays unset. A second bootstrap of the factory is a
    // programming error and stops the process.
    static void bootstrap(LabelHandlerFactory factory);
    // Sets the provider (which may be none: it then counts as set), then the factory. A second
    // bootstrap of either stops the process.
    static void bootstrap(HandlerFactory factory,
                          std::optional<logging::MetadataProvider> metadataProvider);

    static std::optional<logging::MetadataProvider> metadataProvider();

private:
    friend class Logger;
    static HandlerFactory factory();
};

} // namespace vorla::logging
