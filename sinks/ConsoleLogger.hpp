#pragma once

#include "sinks/Loggerable.hpp"

#include <memory>
#include <string>
#include <string_view>

namespace vorla {

// Prints each line to standard output.
class ConsoleLogger final : public Loggerable {
public:
    ConsoleLogger(std::string label, LogLevel logLevel,
                  std::shared_ptr<const LogFormattable> logFormat);

    // The text and a line feed, through the buffered standard output; the level is ignored.
    void log(LogLevel level, std::string_view string) const override;
};

} // namespace vorla
