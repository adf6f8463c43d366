#pragma once

#include "extension/records/ExecLines.hpp"
#include "extension/records/RecordContext.hpp"
#include "extension/records/UserNameCache.hpp"
#include "platform/endpoint_security/EndpointSecurity.h"
#include "platform/foundation/JSONEncoder.hpp"

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vorla::extension {

class Logger;

// Turns messages into lines: process executions into audit-log lines in the configured
// format, every other event into a JSON record for the access log. One instance serves the
// message handler and is used only on its thread.
class Formatter {
public:
    // Written to and read from the configuration as its raw string.
    enum class type { custom, auditd, json };

    static constexpr std::string_view toString(type value) {
        switch (value) {
        case type::custom:
            return "custom";
        case type::auditd:
            return "auditd";
        case type::json:
            return "json";
        }
        return "json";
    }

    // The format whose raw string is exactly `raw` (case included), or none.
    static constexpr std::optional<type> fromString(std::string_view raw) {
        for (const type value : {type::custom, type::auditd, type::json}) {
            if (toString(value) == raw) {
                return value;
            }
        }
        return std::nullopt;
    }

    // Why a message could not be turned into a line; what() is the text for the error log.
    class FormatErr : public std::runtime_error {
    public:
        enum class Kind { jsonEncode, unknownEventType };

        // The encoded record was not valid UTF-8; its size in bytes. The record writers repair
        // invalid UTF-8 as they write, so no line of theirs raises it.
        static FormatErr jsonEncode(std::size_t byteCount);
        static FormatErr unknownEventType(es_event_type_t eventType);

        Kind kind() const { return kind_; }

    private:
        FormatErr(Kind kind, const std::string& text);

        Kind kind_;
    };

    // su and sudo events are routed only where they exist (version 14 on).
    Formatter(type outputFormat, std::string customLogFormat, bool suAndSudoExist);

    type outputFormat() const { return outputFormat_; }
    const std::string& customLogFormat() const { return customLogFormat_; }

    // The audit-log line of an execution message in the configured format. Every format
    // always yields a line; the optional is the shape the line writer takes.
    std::optional<std::string> formatExec(const es_message_t& message);

    // The access-log line of any other subscribed event, always JSON. Throws FormatErr for a
    // type that has no record here, and the encoder's error for a record that writes nothing.
    std::string formatAccess(const es_message_t& message);

private:
    records::RecordContext recordContext();

    type outputFormat_;
    std::string customLogFormat_;
    // Read once, so that a line costs only the filling of its blocks.
    records::CustomTemplate customTemplate_;
    // Only the handler's thread formats, so the cache needs no lock.
    records::UserNameCache userNames_;
    // Below version 14, su and sudo are unknown types.
    bool suAndSudoExist_;
};

// Turns the message into its line and writes it to the audit or the access log, or throws.
void routeEvent(const es_message_t& message, const Logger& logger, Formatter& formatter);

} // namespace vorla::extension
