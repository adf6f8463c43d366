#include "sinks/ConsoleLogger.hpp"

#include <cstdio>
#include <stdio.h>
#include <utility>

namespace vorla {

ConsoleLogger::ConsoleLogger(std::string label, LogLevel logLevel,
                             std::shared_ptr<const LogFormattable> logFormat)
    : Loggerable(std::move(label), logLevel, std::move(logFormat)) {}

void ConsoleLogger::log(LogLevel, std::string_view string) const {
    // The stream stays locked for the whole line, so lines of several threads do not mix.
    ::flockfile(stdout);
    std::fwrite(string.data(), 1, string.size(), stdout);
    std::fputc('\n', stdout);
    ::funlockfile(stdout);
}

} // namespace vorla
