#include "extension/records/ExecLines.hpp"
#include "extension/records/ExecValues.hpp"
#include "extension/records/ProcessRecords.hpp"
#include "extension/records/RecordContext.hpp"
#include "extension/records/RecordText.hpp"

namespace vorla::records {

namespace {

nlohmann::json textArray(const std::vector<std::string>& items) {
    nlohmann::json array = nlohmann::json::array();
    for (const std::string& item : items) {
        array.push_back(validUTF8(item));
    }
    return array;
}

void putIfPresent(nlohmann::json& object, const char* key, std::optional<std::string> value) {
    if (value) {
        object[key] = std::move(*value);
    }
}

nlohmann::json tokenObject(const es_process_t* target, audit_token_t es_process_t::*token) {
    return target ? auditTokenObject(target->*token) : nlohmann::json(nullptr);
}

} // namespace

nlohmann::json execRecord(const es_message_t& message,
                          const foundation::DateFormatter& dateFormatter) {
    const es_event_exec_t& exec = message.event.exec;
    const es_process_t* target = exec.target;
    nlohmann::json log = {
        {"command", textOrNull(target ? pathText(target->executable) : std::nullopt)},
        {"arch", architectureName(exec.image_cputype)},
        {"audit_token", tokenObject(target, &es_process_t::audit_token)},
        {"parent_audit_token", tokenObject(target, &es_process_t::parent_audit_token)},
        {"responsible_audit_token", tokenObject(target, &es_process_t::responsible_audit_token)},
        {"args", textArray(execArguments(exec))},
        {"env", textArray(execEnvironment(exec))},
        {"tty", target ? ttyText(*target) : "unknown"},
    };
    putIfPresent(log, "exec_path", text(exec.dyld_exec_path));
    putIfPresent(log, "cwd", pathText(exec.cwd));
    putIfPresent(log, "script", pathText(exec.script));
    const foundation::Date started = target ? dateOf(target->start_time) : dateOf(message.time);
    return {{"log", std::move(log)}, {"timestamp", dateFormatter.string(started)}};
}

} // namespace vorla::records
