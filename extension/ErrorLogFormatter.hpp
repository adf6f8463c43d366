#pragma once

#include "platform/foundation/DateFormatter.hpp"
#include "sinks/LogFormattable.hpp"

#include <memory>

namespace vorla::extension {

// The error log's line layout: the moment of the log call, one space, the message. Everything
// else a sink passes along (level, source location, label, thread) is left out, so the file
// stays easy to read and to grep by date.
class ErrorLogFormatter final : public LogFormattable {
public:
    explicit ErrorLogFormatter(std::shared_ptr<const foundation::DateFormatter> dateFormat);

    std::string formatMessage(LogLevel level, std::string_view message, std::string_view tag,
                              std::string_view function, std::string_view file, std::uint64_t line,
                              const FacadeInfo& facadeInfo, std::string_view label,
                              foundation::Date date, std::uint64_t threadID) const override;

private:
    // The one shared formatter of the extension; it is never changed after start-up.
    std::shared_ptr<const foundation::DateFormatter> dateFormat_;
};

} // namespace vorla::extension
