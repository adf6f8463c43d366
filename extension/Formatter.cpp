#include "extension/Formatter.hpp"

#include "extension/Logger.hpp"
#include "extension/client.hpp"
#include "extension/records/AccessEvents.hpp"

#include <utility>

namespace vorla::extension {

Formatter::FormatErr::FormatErr(Kind kind, const std::string& text)
    : std::runtime_error(text), kind_(kind) {}

Formatter::FormatErr Formatter::FormatErr::jsonEncode(std::size_t byteCount) {
    return FormatErr(Kind::jsonEncode,
                     "encoding access log: " + std::to_string(byteCount) + " bytes");
}

Formatter::FormatErr Formatter::FormatErr::unknownEventType(es_event_type_t eventType) {
    return FormatErr(Kind::unknownEventType,
                     "recived unknown event type: " + std::to_string(eventType));
}

Formatter::Formatter(type outputFormat, std::string customLogFormat, bool suAndSudoExist)
    : outputFormat_(outputFormat), customLogFormat_(std::move(customLogFormat)),
      customTemplate_(customLogFormat_), suAndSudoExist_(suAndSudoExist) {}

records::RecordContext Formatter::recordContext() {
    return {userNames_};
}

std::optional<std::string> Formatter::formatExec(const es_message_t& message) {
    switch (outputFormat_) {
    case type::custom:
        return customTemplate_.line(message, recordContext());
    case type::auditd:
        return records::formatExecAuditd(message);
    case type::json:
        break;
    }
    return records::execRecord(message, recordContext());
}

std::string Formatter::formatAccess(const es_message_t& message) {
    std::optional<std::string> line =
        records::accessRecordFor(message, recordContext(), suAndSudoExist_);
    if (!line) {
        throw FormatErr::unknownEventType(message.event_type);
    }
    // The record writer repairs invalid UTF-8 as it writes, so the line needs no second pass.
    return std::move(*line);
}

void routeEvent(const es_message_t& message, const Logger& logger, Formatter& formatter) {
    if (message.event_type == ES_EVENT_TYPE_NOTIFY_EXEC) {
        writeLine(logger, formatter.formatExec(message), true);
    } else {
        writeLine(logger, formatter.formatAccess(message), false);
    }
}

} // namespace vorla::extension
