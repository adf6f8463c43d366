#include "extension/records/ExecLines.hpp"
#include "extension/records/ExecValues.hpp"
#include "extension/records/ProcessRecords.hpp"
#include "extension/records/RecordContext.hpp"
#include "extension/records/RecordText.hpp"

namespace vorla::records {

namespace {

nlohmann::json textArray(std::vector<std::string> items) {
    nlohmann::json array = nlohmann::json::array();
    array.get_ref<nlohmann::json::array_t&>().reserve(items.size());
    for (std::string& item : items) {
        array.push_back(validUTF8(std::move(item)));
    }
    return array;
}

void putIfPresent(nlohmann::json& object, const char* key, std::optional<std::string> value) {
    if (value) {
        object[key] = std::move(*value);
    }
}

nlohmann::json tokenObject(const es_process_t* target, audit_token_t es_process_t::*token,
                           UserNameCache& userNames) {
    return target ? auditTokenObject(target->*token, userNames) : nlohmann::json(nullptr);
}

} // namespace

nlohmann::json execRecord(const es_message_t& message, const RecordContext& context) {
    const es_event_exec_t& exec = message.event.exec;
    const es_process_t* target = exec.target;
    // Filled member by member: an initializer list would first build every pair as an array
    // and then copy the larger values out of it.
    nlohmann::json log(nlohmann::json::value_t::object);
    log.emplace("command", textOrNull(target ? pathText(target->executable) : std::nullopt));
    log.emplace("arch", architectureName(exec.image_cputype));
    log.emplace("audit_token", tokenObject(target, &es_process_t::audit_token, context.userNames));
    log.emplace("parent_audit_token",
                tokenObject(target, &es_process_t::parent_audit_token, context.userNames));
    log.emplace("responsible_audit_token",
                tokenObject(target, &es_process_t::responsible_audit_token, context.userNames));
    log.emplace("args", textArray(execArguments(exec)));
    log.emplace("env", textArray(execEnvironment(exec)));
    log.emplace("tty", target ? ttyText(*target) : "unknown");
    putIfPresent(log, "exec_path", text(exec.dyld_exec_path));
    putIfPresent(log, "cwd", pathText(exec.cwd));
    putIfPresent(log, "script", pathText(exec.script));
    const foundation::Date started = target ? dateOf(target->start_time) : dateOf(message.time);
    nlohmann::json record(nlohmann::json::value_t::object);
    record.emplace("log", std::move(log));
    record.emplace("timestamp", context.dateFormatter.string(started));
    return record;
}

} // namespace vorla::records
