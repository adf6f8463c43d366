#pragma once

#include "platform/oslog/OSLog.hpp"
#include "sinks/Loggerable.hpp"

#include <memory>
#include <string>
#include <string_view>

namespace vorla {

// Writes to the unified system log, with the sink's label as the subsystem.
class OSLogger final : public Loggerable {
public:
    OSLogger(std::string label, LogLevel logLevel, std::shared_ptr<const LogFormattable> logFormat,
             std::string category);

    // One entry of the level's log type: trace, verbose and debug are debug entries, info and
    // notice info, warning default, error error and critical fault. The text is kept literally.
    void log(LogLevel level, std::string_view string) const override;

    static oslog::LogType logType(LogLevel level);

private:
    oslog::Log osLog_;
};

} // namespace vorla
