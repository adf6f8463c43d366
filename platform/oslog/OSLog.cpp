#include "platform/oslog/OSLog.hpp"

#include "platform/environment/Environment.hpp"
#include "platform/foundation/TrustedStreams.hpp"

#include <cerrno>
#include <iostream>
#include <syslog.h>
#include <unistd.h>

namespace vorla::oslog {

namespace {

int priority(LogType type) {
    switch (type) {
    case LogType::debug:
        return LOG_DEBUG;
    case LogType::info:
        return LOG_INFO;
    case LogType::defaultType:
        return LOG_NOTICE;
    case LogType::error:
        return LOG_ERR;
    case LogType::fault:
        return LOG_CRIT;
    }
    return LOG_NOTICE;
}

void appendEscaped(std::string& line, std::string_view text) {
    for (const char character : text) {
        switch (character) {
        case '\\':
            line += "\\\\";
            break;
        case '\r':
            line += "\\r";
            break;
        case '\n':
            line += "\\n";
            break;
        default:
            line += character;
        }
    }
}

// The mirror file, opened once for appending; -1 when none is configured or it cannot be
// opened. Kept open for the life of the process so that every entry costs one write. Root's
// entries go only where nobody else can read them away or forge entries after them.
int mirrorDescriptor() {
    static const int descriptor = [] {
        const auto path = platform::environmentValue("VORLA_OSLOG_FILE");
        if (!path || path->empty()) {
            return -1;
        }
        // The process's own error stream, wherever the link of that name leads.
        if (*path == "/dev/stderr") {
            return STDERR_FILENO;
        }
        try {
            return foundation::openTrustedForAppending(*path, 0644).descriptor.release();
        } catch (const foundation::FoundationError& error) {
            std::cerr << "VORLA_OSLOG_FILE: " << error.what()
                      << "; entries go to the system log alone\n";
            return -1;
        }
    }();
    return descriptor;
}

void writeMirror(const std::string& line) {
    const int descriptor = mirrorDescriptor();
    if (descriptor < 0) {
        return;
    }
    // One write per line keeps lines of several writers whole; a short write is not resumed,
    // because a second write could land inside another writer's line.
    while (::write(descriptor, line.data(), line.size()) < 0 && errno == EINTR) {
    }
}

} // namespace

std::string_view toString(LogType type) {
    switch (type) {
    case LogType::debug:
        return "debug";
    case LogType::info:
        return "info";
    case LogType::defaultType:
        return "default";
    case LogType::error:
        return "error";
    case LogType::fault:
        return "fault";
    }
    return "default";
}

std::string mirrorLine(LogType type, std::string_view subsystem, std::string_view category,
                       std::string_view text) {
    std::string line;
    line.reserve(subsystem.size() + category.size() + text.size() + 16);
    line += toString(type);
    line += '\t';
    line += subsystem;
    line += '\t';
    line += category;
    line += '\t';
    appendEscaped(line, text);
    line += '\n';
    return line;
}

struct Log::Handle {
    std::string subsystem;
    std::string category;
};

Log::Log(std::string subsystem, std::string category)
    : handle_(std::make_shared<const Handle>(Handle{std::move(subsystem), std::move(category)})) {}

const std::string& Log::subsystem() const {
    return handle_->subsystem;
}

const std::string& Log::category() const {
    return handle_->category;
}

void Log::write(LogType type, std::string_view text) const {
    const std::string entry(text);
    // The text is an argument of "%s", never the format: a "%" in it is written literally.
    ::syslog(priority(type), "%s", entry.c_str());
    writeMirror(mirrorLine(type, handle_->subsystem, handle_->category, text));
}

} // namespace vorla::oslog
