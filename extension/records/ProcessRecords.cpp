#include "extension/records/ProcessRecords.hpp"

#include "extension/records/RecordContext.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

void writeAuditToken(JSONLine& line, const audit_token_t& token, UserNameCache& userNames) {
    const uid_t uid = audit_token_to_ruid(token);
    const gid_t gid = audit_token_to_rgid(token);
    line.beginObject();
    line.key("auid").number(audit_token_to_auid(token));
    line.key("egid").number(audit_token_to_egid(token));
    line.key("euid").number(audit_token_to_euid(token));
    line.key("gid").number(gid);
    line.key("group").string(userNames.groupName(gid));
    line.key("pid").number(audit_token_to_pid(token));
    line.key("uid").number(uid);
    line.key("username").string(userNames.userName(uid));
    line.endObject();
}

void writeProcess(JSONLine& line, const es_process_t* process, UserNameCache& userNames) {
    if (!process) {
        line.null();
        return;
    }
    line.beginObject();
    line.key("audit_token");
    writeAuditToken(line, process->audit_token, userNames);
    writeOrNull(line, "executable", pathView(process->executable));
    line.key("is_platform_binary").boolean(process->is_platform_binary);
    line.key("parent_audit_token");
    writeAuditToken(line, process->parent_audit_token, userNames);
    line.key("responsible_audit_token");
    writeAuditToken(line, process->responsible_audit_token, userNames);
    line.key("session_id").number(process->session_id);
    writeOrNull(line, "team_id", tokenView(process->team_id));
    line.key("timestamp").timestamp(dateOf(process->start_time));
    line.key("tty").string(pathView(process->tty).value_or("unknown"));
    line.endObject();
}

} // namespace vorla::records
