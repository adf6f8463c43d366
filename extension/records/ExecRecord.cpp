#include "extension/records/ExecLines.hpp"
#include "extension/records/ExecValues.hpp"
#include "extension/records/JSONLine.hpp"
#include "extension/records/ProcessRecords.hpp"
#include "extension/records/RecordContext.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

namespace {

// Room for a typical record in one allocation: three tokens, a command, a dozen arguments.
constexpr std::size_t typicalRecordSize = 1024;

void writeTexts(JSONLine& line, const std::vector<std::string_view>& items) {
    line.beginArray();
    for (const std::string_view item : items) {
        line.string(item);
    }
    line.endArray();
}

void writeToken(JSONLine& line, std::string_view key, const es_process_t* target,
                audit_token_t es_process_t::*token, UserNameCache& userNames) {
    line.key(key);
    if (target) {
        writeAuditToken(line, target->*token, userNames);
    } else {
        line.null();
    }
}

} // namespace

std::string execRecord(const es_message_t& message, const RecordContext& context) {
    const es_event_exec_t& exec = message.event.exec;
    const es_process_t* target = exec.target;
    // The keys in byte order, as the encoder would sort them.
    JSONLine line(typicalRecordSize);
    line.beginObject().key("log").beginObject();
    line.key("arch").string(architectureName(exec.image_cputype));
    line.key("args");
    writeTexts(line, execArguments(exec));
    writeToken(line, "audit_token", target, &es_process_t::audit_token, context.userNames);
    writeOrNull(line, "command", pathView(target ? target->executable : nullptr));
    writeIfPresent(line, "cwd", pathView(exec.cwd));
    line.key("env");
    writeTexts(line, execEnvironment(exec));
    writeIfPresent(line, "exec_path", tokenView(exec.dyld_exec_path));
    writeToken(line, "parent_audit_token", target, &es_process_t::parent_audit_token,
               context.userNames);
    writeToken(line, "responsible_audit_token", target, &es_process_t::responsible_audit_token,
               context.userNames);
    writeIfPresent(line, "script", pathView(exec.script));
    line.key("tty").string(pathView(target ? target->tty : nullptr).value_or("unknown"));
    line.endObject();
    const foundation::Date started = target ? dateOf(target->start_time) : dateOf(message.time);
    line.key("timestamp").timestamp(started).endObject();
    return line.take();
}

} // namespace vorla::records
