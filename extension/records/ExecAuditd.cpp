#include "extension/records/ExecLines.hpp"
#include "extension/records/ExecValues.hpp"
#include "extension/records/RecordText.hpp"

#include <algorithm>

namespace vorla::records {

namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

// The bytes the audit tools read inside double quotes: printable ASCII except the space, which
// separates fields, and the double quote, which would end the value.
bool quotable(unsigned char byte) {
    return byte > 0x20 && byte < 0x7F && byte != '"';
}

bool quotable(std::string_view bytes) {
    for (const char c : bytes) {
        if (!quotable(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

std::string hex(std::string_view bytes) {
    std::string value;
    value.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        value += hexDigits[byte >> 4];
        value += hexDigits[byte & 0x0F];
    }
    return value;
}

// As the audit system writes a string it does not trust: in double quotes when every byte is
// quotable, else the upper-case hex of its bytes, unquoted. The quotes tell the tools which of
// the two they read, so a word that merely looks like hex ("cat", "add") is never decoded.
std::string auditValue(std::string_view bytes) {
    return quotable(bytes) ? '"' + std::string(bytes) + '"' : hex(bytes);
}

// The terminal is a name the tools take as it stands, as the audit system writes it: bare, or
// in hex when it holds a byte that could end or forge a field. Empty when there is none.
std::string ttyValue(std::string_view bytes) {
    return quotable(bytes) ? std::string(bytes) : hex(bytes);
}

// The audit tools read a system-call record's a0 and a1 as numbers in hex: a value they cannot
// read that way (more than 16 hex digits) or a missing a1 makes them drop the whole event, and
// some look for their fields ("exe=") anywhere in the record. So the copies there are always
// quoted, which the tools pass over, with every byte that could not stand inside the quotes and
// every '=' written as '?'; the execve record carries the exact values.
std::string syscallCopy(std::string_view bytes) {
    std::string value;
    value.reserve(bytes.size() + 2);
    value += '"';
    for (const char c : bytes) {
        value += quotable(static_cast<unsigned char>(c)) && c != '=' ? c : '?';
    }
    value += '"';
    return value;
}

// Lines without a0 and a1 in the system-call record are dropped by the tools; an argument that
// is not there is written as an empty quoted value.
constexpr size_t syscallArgumentsAtLeast = 2;

std::string argumentFields(const std::vector<std::string_view>& arguments, size_t count,
                           std::string (*encode)(std::string_view)) {
    std::string fields;
    for (size_t i = 0; i < count; ++i) {
        fields += (i ? " a" : "a") + std::to_string(i) + "=" +
                  encode(i < arguments.size() ? arguments[i] : "");
    }
    return fields;
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
    const std::vector<std::string_view> arguments = execArguments(exec);

    const std::string header = "msg=audit(" + std::to_string(executionTime(message).seconds) + ":" +
                               std::to_string(message.global_seq_num) + "): ";

    // Without a target the identity fields stay empty rather than claiming some user.
    const auto id = [target](auto read, audit_token_t es_process_t::*token) {
        return target ? std::to_string(read(target->*token)) : std::string();
    };
    const auto& own = &es_process_t::audit_token;
    std::string line = "type=EXECVE " + header + "argc=" + std::to_string(arguments.size()) + " " +
                       argumentFields(arguments, arguments.size(), auditValue);
    line +=
        "\ntype=SYSCALL " + header + "arch=" + std::string(auditArchitecture(exec.image_cputype)) +
        " syscall=59 success=yes exit=0 " +
        argumentFields(arguments, std::max(arguments.size(), syscallArgumentsAtLeast), syscallCopy);
    line += " items=1 ppid=" + id(audit_token_to_pid, &es_process_t::parent_audit_token);
    line += " pid=" + id(audit_token_to_pid, own);
    line += " auid=" + id(audit_token_to_auid, own);
    line += " uid=" + id(audit_token_to_ruid, own);
    line += " gid=" + id(audit_token_to_rgid, own);
    line += " euid=" + id(audit_token_to_euid, own);
    line += " egid=" + id(audit_token_to_egid, own);
    line += " tty=" + ttyValue(execTTY(message).value_or(""));
    line += " ses=" + (target ? std::to_string(target->session_id) : std::string());
    line += " comm=" + auditValue(arguments.empty() ? "" : arguments.front());
    line += " exe=" + auditValue(target && target->executable
                                     ? tokenBytes(target->executable->path).value_or("")
                                     : "");
    line += " key=\"vorla\"";
    return line;
}

} // namespace vorla::records
