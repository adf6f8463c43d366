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

// Straight from the message into the line: a list of the items would cost an allocation.
void writeTexts(JSONLine& line, const es_event_exec_t& exec, TokenCount count, TokenAt item) {
    line.beginArray();
    forEachToken(exec, count, item, [&line](std::string_view bytes) { line.string(bytes); });
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
    writeTexts(line, exec, es_exec_arg_count, es_exec_arg);
    writeToken(line, "audit_token", target, &es_process_t::audit_token, context.userNames);
    writeOrNull(line, "command", pathView(target ? target->executable : nullptr));
    writeIfPresent(line, "cwd", pathView(exec.cwd));
    line.key("env");
    writeTexts(line, exec, es_exec_env_count, es_exec_env);
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
