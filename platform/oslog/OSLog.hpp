#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace vorla::oslog {

// The type of a unified-log entry; each maps to a syslog priority.
enum class LogType {
    debug,
    info,
    defaultType,
    error,
    fault,
};

// "debug", "info", "default", "error" or "fault".
std::string_view toString(LogType type);

// A unified-log handle for one (subsystem, category) pair. Copies share the handle. Entries go
// to syslog(3) and, when VORLA_OSLOG_FILE is set, are mirrored to that file one line each.
class Log {
public:
    Log(std::string subsystem, std::string category);

    const std::string& subsystem() const;
    const std::string& category() const;

    // Emits one entry; the text is always an argument, never a format, and is kept whole.
    void write(LogType type, std::string_view text) const;

private:
    struct Handle;
    std::shared_ptr<const Handle> handle_;
};

// The mirror file's line for one entry: type, subsystem, category and the escaped text,
// separated by tabs and ended by a line feed.
std::string mirrorLine(LogType type, std::string_view subsystem, std::string_view category,
                       std::string_view text);

} // namespace vorla::oslog
