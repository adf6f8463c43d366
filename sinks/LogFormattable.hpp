#pragma once

#include "platform/foundation/Date.hpp"
#include "platform/foundation/DateFormatter.hpp"
#include "sinks/LogLevel.hpp"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace vorla {

// Extra facts a facade passes along with a message ("source", "label", "metadata").
using FacadeInfo = std::map<std::string, std::string>;

// Decides the text of a line. A sink calls it on its own queue after the level filter; one
// formatter shared by several sinks is called from their queues concurrently, so conformers
// must keep no unsynchronised mutable state.
class LogFormattable {
public:
    virtual ~LogFormattable() = default;

    // The complete line, without a line terminator (the sink adds what its medium needs).
    virtual std::string formatMessage(LogLevel level, std::string_view message,
                                      std::string_view tag, std::string_view function,
                                      std::string_view file, std::uint64_t line,
                                      const FacadeInfo& facadeInfo, std::string_view label,
                                      foundation::Date date, std::uint64_t threadID) const = 0;

    // The piece before the first "/" ("" when the text begins with "/").
    static std::string moduleName(std::string_view file);
    // The piece after the last "/" ("" when the text ends with "/").
    static std::string fileName(std::string_view file);

protected:
    LogFormattable() = default;
    LogFormattable(const LogFormattable&) = default;
    LogFormattable& operator=(const LogFormattable&) = default;
};

// The formatter's text for the date, with the formatter as it stands.
std::string dateFormatter(foundation::Date date, const foundation::DateFormatter& withFormatter);

// Sets locale, pattern and time zone on the formatter (they stay set), then formats the date.
// Never call it on a formatter that other threads may be using.
std::string dateFormatter(foundation::Date date, foundation::DateFormatter& withFormatter,
                          std::string_view locale, std::string_view dateFormat,
                          std::string_view timeZone);

} // namespace vorla
