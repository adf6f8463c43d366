#include "extension/records/ExecLines.hpp"
#include "extension/records/ExecValues.hpp"
#include "extension/records/RecordText.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iterator>

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

void appendHex(std::string& line, std::string_view bytes) {
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        line += hexDigits[byte >> 4];
        line += hexDigits[byte & 0x0F];
    }
}

// As the audit system writes a string it does not trust: in double quotes when every byte is
// quotable, else the upper-case hex of its bytes, unquoted. The quotes tell the tools which of
// the two they read, so a word that merely looks like hex ("cat", "add") is never decoded.
void appendAuditValue(std::string& line, std::string_view bytes) {
    if (quotable(bytes)) {
        line.append(1, '"').append(bytes).append(1, '"');
    } else {
        appendHex(line, bytes);
    }
}

// The terminal is a name the tools take as it stands, as the audit system writes it: bare, or
// in hex when it holds a byte that could end or forge a field. Empty when there is none.
void appendTTYValue(std::string& line, std::string_view bytes) {
    if (quotable(bytes)) {
        line += bytes;
    } else {
        appendHex(line, bytes);
    }
}

// Each value of a line is appended where it stands, so a line costs one growing buffer.
void appendNumber(std::string& line, uint64_t value) {
    char digits[20];
    line.append(digits, std::to_chars(digits, std::end(digits), value).ptr);
}

// The audit tools read a system-call record's a0 and a1 as numbers in hex: a value they cannot
// read that way (more than 16 hex digits) or a missing a1 makes them drop the whole event, and
// some look for their fields ("exe=") anywhere in the record. So the copies there are always
// quoted, which the tools pass over, with every byte that could not stand inside the quotes and
// every '=' written as '?'; the execve record carries the exact values.
void appendSyscallCopy(std::string& line, std::string_view bytes) {
    line += '"';
    for (const char c : bytes) {
        line += quotable(static_cast<unsigned char>(c)) && c != '=' ? c : '?';
    }
    line += '"';
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

// " a" + index + "=" + the argument, each written by `append`, from the first on.
void appendArguments(std::string& line, const std::vector<std::string_view>& arguments,
                     size_t count, void (*append)(std::string&, std::string_view)) {
    for (size_t i = 0; i < count; ++i) {
        line += i ? " a" : "a";
        appendNumber(line, i);
        line += '=';
        append(line, i < arguments.size() ? arguments[i] : "");
    }
}

void appendSyscallCopies(std::string& line, const std::vector<std::string_view>& arguments) {
    const size_t count = std::clamp(arguments.size(), syscallCopiesAtLeast, syscallCopiesAtMost);
    appendArguments(line, arguments, count, [](std::string& to, std::string_view bytes) {
        appendSyscallCopy(to, bytes.substr(0, syscallCopyBytes));
    });
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
    const AuditArchitecture architecture = auditArchitecture(exec.image_cputype);

    size_t argumentBytes = 0;
    for (const std::string_view argument : arguments) {
        argumentBytes += argument.size();
    }
    std::string line;
    // Hex may double an argument; the fixed fields and the copies take less than a kilobyte.
    line.reserve(2 * argumentBytes + 8 * arguments.size() + 1024);
    const auto header = [&](std::string_view type) {
        line.append(type).append(" msg=audit(");
        line += std::to_string(executionTime(message).seconds);
        line += ':';
        appendNumber(line, message.global_seq_num);
        line += "): ";
    };
    // Without a target the identity fields stay empty rather than claiming some user.
    const auto id = [&](std::string_view name, auto read, audit_token_t es_process_t::*token) {
        line.append(name);
        if (target) {
            appendNumber(line, read(target->*token));
        }
    };
    const auto& own = &es_process_t::audit_token;

    header("type=EXECVE");
    line += "argc=";
    appendNumber(line, arguments.size());
    line += ' ';
    appendArguments(line, arguments, arguments.size(), appendAuditValue);
    header("\ntype=SYSCALL");
    line.append("arch=").append(architecture.name).append(" syscall=");
    appendNumber(line, architecture.execve);
    line += " success=yes exit=0 ";
    appendSyscallCopies(line, arguments);
    id(" items=1 ppid=", audit_token_to_pid, &es_process_t::parent_audit_token);
    id(" pid=", audit_token_to_pid, own);
    id(" auid=", audit_token_to_auid, own);
    id(" uid=", audit_token_to_ruid, own);
    id(" gid=", audit_token_to_rgid, own);
    id(" euid=", audit_token_to_euid, own);
    id(" egid=", audit_token_to_egid, own);
    line += " tty=";
    appendTTYValue(line, execTTY(message).value_or(""));
    line += " ses=";
    if (target) {
        line += std::to_string(target->session_id);
    }
    line += " comm=";
    appendAuditValue(line, arguments.empty() ? "" : arguments.front().substr(0, commandNameBytes));
    line += " exe=";
    appendAuditValue(line, target ? pathView(target->executable).value_or("") : "");
    line += " key=\"vorla\"";
    return line;
}

} // namespace vorla::records
