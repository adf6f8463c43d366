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

// The audit tools (auditd 3.0.9) lose an event whose system-call record is longer than they
// read: aureport -x skips it from 8,982 bytes on, ausearch from 9,074, while the execve
// record is read whole at any length. So the system-call record holds what the kernel's own
// holds, a0 to a3, each copy cut short, and never less than a0 and a1, without which the tools
// drop the event; an argument that is not there is an empty quoted value. The command name is
// cut at the longest path the system names, so a path given as the first argument stays whole.
// With these bounds the arguments fill at most about 2,600 bytes of the record.
constexpr size_t syscallCopiesAtLeast = 2;
constexpr size_t syscallCopiesAtMost = 4;
constexpr size_t syscallCopyBytes = 128;
constexpr size_t commandNameBytes = 1024;

std::string syscallCopies(const std::vector<std::string_view>& arguments) {
    const size_t count = std::clamp(arguments.size(), syscallCopiesAtLeast, syscallCopiesAtMost);
    std::string fields;
    for (size_t i = 0; i < count; ++i) {
        fields += (i ? " a" : "a") + std::to_string(i) + "=" +
                  syscallCopy(i < arguments.size() ? arguments[i].substr(0, syscallCopyBytes) : "");
    }
    return fields;
}

std::string execveArguments(const std::vector<std::string_view>& arguments) {
    std::string fields;
    for (size_t i = 0; i < arguments.size(); ++i) {
        fields += (i ? " a" : "a") + std::to_string(i) + "=" + auditValue(arguments[i]);
    }
    return fields;
}

// The tools name the system call by its number on the record's architecture: execve is 221 on
// arm64, where 59 is pipe2.
struct AuditArchitecture {
    std::string_view name;
    int execve;
};

AuditArchitecture auditArchitecture(cpu_type_t cpuType) {
    const std::string_view name = architectureName(cpuType);
    if (name == "x86_64") {
        return {"c000003e", 59};
    }
    if (name == "arm64") {
        return {"c00000b7", 221};
    }
    return {"unknown", 59};
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
    const AuditArchitecture architecture = auditArchitecture(exec.image_cputype);
    std::string line = "type=EXECVE " + header + "argc=" + std::to_string(arguments.size()) + " " +
                       execveArguments(arguments);
    line += "\ntype=SYSCALL " + header + "arch=" + std::string(architecture.name) +
            " syscall=" + std::to_string(architecture.execve) + " success=yes exit=0 " +
            syscallCopies(arguments);
    line += " items=1 ppid=" + id(audit_token_to_pid, &es_process_t::parent_audit_token);
    line += " pid=" + id(audit_token_to_pid, own);
    line += " auid=" + id(audit_token_to_auid, own);
    line += " uid=" + id(audit_token_to_ruid, own);
    line += " gid=" + id(audit_token_to_rgid, own);
    line += " euid=" + id(audit_token_to_euid, own);
    line += " egid=" + id(audit_token_to_egid, own);
    line += " tty=" + ttyValue(execTTY(message).value_or(""));
    line += " ses=" + (target ? std::to_string(target->session_id) : std::string());
    line += " comm=" +
            auditValue(arguments.empty() ? "" : arguments.front().substr(0, commandNameBytes));
    line += " exe=" + auditValue(target && target->executable
                                     ? tokenBytes(target->executable->path).value_or("")
                                     : "");
    line += " key=\"vorla\"";
    return line;
}

} // namespace vorla::records
