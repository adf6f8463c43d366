#include "extension/records/ExecLines.hpp"
#include "extension/records/ExecValues.hpp"
#include "extension/records/RecordText.hpp"

namespace vorla::records {

namespace {

bool plainAuditValue(std::string_view bytes) {
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x21 || byte > 0x7E || byte == '"') {
            return false;
        }
    }
    return true;
}

// As the audit system writes a string it does not trust: plain when it is printable ASCII
// without spaces and quotes, else the upper-case hex of its bytes.
std::string auditValue(std::string_view bytes) {
    if (plainAuditValue(bytes)) {
        return std::string(bytes);
    }
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return hex;
}

std::string_view auditArchitecture(cpu_type_t cpuType) {
    const std::string_view name = architectureName(cpuType);
    if (name == "x86_64") {
        return "c000003e";
    }
    if (name == "arm64") {
        return "c00000b7";
    }
    return "unknown";
}

} // namespace

std::string formatExecAuditd(const es_message_t& message) {
    const es_event_exec_t& exec = message.event.exec;
    const es_process_t* target = exec.target;
    const std::vector<std::string> arguments = execArguments(exec);

    std::string args;
    for (size_t i = 0; i < arguments.size(); ++i) {
        args += (i ? " a" : "a") + std::to_string(i) + "=" + auditValue(arguments[i]);
    }
    const std::string header = "msg=audit(" + std::to_string(executionTime(message).seconds) + ":" +
                               std::to_string(message.global_seq_num) + "): ";

    // Without a target the identity fields stay empty rather than claiming some user.
    const auto id = [target](auto read, audit_token_t es_process_t::*token) {
        return target ? std::to_string(read(target->*token)) : std::string();
    };
    const auto& own = &es_process_t::audit_token;
    std::string line =
        "type=EXECVE " + header + "argc=" + std::to_string(arguments.size()) + " " + args;
    line += "\ntype=SYSCALL " + header +
            "arch=" + std::string(auditArchitecture(exec.image_cputype)) +
            " syscall=59 success=yes exit=0 " + args;
    line += " items=1 ppid=" + id(audit_token_to_pid, &es_process_t::parent_audit_token);
    line += " pid=" + id(audit_token_to_pid, own);
    line += " auid=" + id(audit_token_to_auid, own);
    line += " uid=" + id(audit_token_to_ruid, own);
    line += " gid=" + id(audit_token_to_rgid, own);
    line += " euid=" + id(audit_token_to_euid, own);
    line += " egid=" + id(audit_token_to_egid, own);
    line += " tty=" + auditValue(execTTY(message).value_or(""));
    line += " ses=" + (target ? std::to_string(target->session_id) : std::string());
    line += " comm=" + auditValue(arguments.empty() ? "" : arguments.front());
    line += " exe=" + auditValue(target && target->executable
                                     ? tokenBytes(target->executable->path).value_or("")
                                     : "");
    line += " key=\"vorla\"";
    return line;
}

} // namespace vorla::records
