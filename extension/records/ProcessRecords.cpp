#include "extension/records/ProcessRecords.hpp"

#include "extension/records/RecordContext.hpp"
#include "extension/records/RecordText.hpp"
#include "extension/records/UserDatabase.hpp"

namespace vorla::records {

nlohmann::json auditTokenObject(const audit_token_t& token) {
    const uid_t uid = audit_token_to_ruid(token);
    const gid_t gid = audit_token_to_rgid(token);
    return {
        {"uid", uid},
        {"username", userName(uid)},
        {"gid", gid},
        {"group", groupName(gid)},
        {"euid", audit_token_to_euid(token)},
        {"egid", audit_token_to_egid(token)},
        {"auid", audit_token_to_auid(token)},
        {"pid", audit_token_to_pid(token)},
    };
}

nlohmann::json textOrNull(const std::optional<std::string>& text) {
    return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

std::string ttyText(const es_process_t& process) {
    return pathText(process.tty).value_or("unknown");
}

nlohmann::json processObject(const es_process_t* process,
                             const foundation::DateFormatter& dateFormatter) {
    if (!process) {
        return nullptr;
    }
    return {
        {"audit_token", auditTokenObject(process->audit_token)},
        {"parent_audit_token", auditTokenObject(process->parent_audit_token)},
        {"responsible_audit_token", auditTokenObject(process->responsible_audit_token)},
        {"session_id", process->session_id},
        {"team_id", textOrNull(text(process->team_id))},
        {"is_platform_binary", process->is_platform_binary},
        {"executable", textOrNull(pathText(process->executable))},
        {"tty", ttyText(*process)},
        {"timestamp", dateFormatter.string(dateOf(process->start_time))},
    };
}

} // namespace vorla::records
