#include "extension/records/ProcessRecords.hpp"

#include "extension/records/RecordText.hpp"
#include "extension/records/Timestamp.hpp"

namespace vorla::records {

nlohmann::json auditTokenObject(const audit_token_t& token, UserNameCache& userNames) {
    const uid_t uid = audit_token_to_ruid(token);
    const gid_t gid = audit_token_to_rgid(token);
    // Filled member by member, which spares the initializer list's intermediate arrays: every
    // execution record holds three of these objects.
    nlohmann::json object(nlohmann::json::value_t::object);
    object.emplace("uid", uid);
    object.emplace("username", userNames.userName(uid));
    object.emplace("gid", gid);
    object.emplace("group", userNames.groupName(gid));
    object.emplace("euid", audit_token_to_euid(token));
    object.emplace("egid", audit_token_to_egid(token));
    object.emplace("auid", audit_token_to_auid(token));
    object.emplace("pid", audit_token_to_pid(token));
    return object;
}

void writeAuditToken(JSONLine& line, const audit_token_t& token, UserNameCache& userNames) {
    const uid_t uid = audit_token_to_ruid(token);
    const gid_t gid = audit_token_to_rgid(token);
    line.beginObject();
    line.key("auid").number(std::uint64_t{audit_token_to_auid(token)});
    line.key("egid").number(std::uint64_t{audit_token_to_egid(token)});
    line.key("euid").number(std::uint64_t{audit_token_to_euid(token)});
    line.key("gid").number(std::uint64_t{gid});
    line.key("group").string(userNames.groupName(gid));
    line.key("pid").number(std::int64_t{audit_token_to_pid(token)});
    line.key("uid").number(std::uint64_t{uid});
    line.key("username").string(userNames.userName(uid));
    line.endObject();
}

nlohmann::json textOrNull(const std::optional<std::string>& text) {
    return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

std::string ttyText(const es_process_t& process) {
    return pathText(process.tty).value_or("unknown");
}

nlohmann::json processObject(const es_process_t* process, const RecordContext& context) {
    if (!process) {
        return nullptr;
    }
    return {
        {"audit_token", auditTokenObject(process->audit_token, context.userNames)},
        {"parent_audit_token", auditTokenObject(process->parent_audit_token, context.userNames)},
        {"responsible_audit_token",
         auditTokenObject(process->responsible_audit_token, context.userNames)},
        {"session_id", process->session_id},
        {"team_id", textOrNull(text(process->team_id))},
        {"is_platform_binary", process->is_platform_binary},
        {"executable", textOrNull(pathText(process->executable))},
        {"tty", ttyText(*process)},
        {"timestamp", timestampText(dateOf(process->start_time))},
    };
}

} // namespace vorla::records
