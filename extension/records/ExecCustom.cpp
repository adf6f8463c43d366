#include "extension/records/ExecLines.hpp"
#include "extension/records/ExecValues.hpp"
#include "extension/records/RecordText.hpp"

#include <cstdio>

namespace vorla::records {

namespace {

// The length of a line or paragraph separator beginning the valid UTF-8 text: the C1 controls
// (U+0080 to U+009F, U+0085 among them) and U+2028 and U+2029, which several log viewers take
// as line breaks. 0 when the text begins with something else.
size_t separatorLength(std::string_view text) {
    const auto at = [text](size_t index) { return static_cast<unsigned char>(text[index]); };
    if (text.size() >= 2 && at(0) == 0xC2 && at(1) <= 0x9F) {
        return 2;
    }
    if (text.size() >= 3 && at(0) == 0xE2 && at(1) == 0x80 && (at(2) == 0xA8 || at(2) == 0xA9)) {
        return 3;
    }
    return 0;
}

// Control characters become backslash escapes, so no value can end the line. Inside a list
// item the double quote and the backslash are escaped too, since they delimit the items. The
// text is valid UTF-8 already.
std::string escaped(std::string_view text, bool listItem) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        char code[7];
        if (listItem && (c == '"' || c == '\\')) {
            result += '\\';
            result += c;
        } else if (c == '\t') {
            result += "\\t";
        } else if (c == '\r') {
            result += "\\r";
        } else if (c == '\n') {
            result += "\\n";
        } else if (byte < 0x20 || byte == 0x7F) {
            std::snprintf(code, sizeof code, "\\x%02X", byte);
            result += code;
        } else if (const size_t length = separatorLength(text.substr(i))) {
            const unsigned codePoint =
                length == 2 ? static_cast<unsigned char>(text[i + 1])
                            : 0x2000u | (static_cast<unsigned char>(text[i + 2]) - 0x80u);
            std::snprintf(code, sizeof code, "\\u%04X", codePoint);
            result += code;
            i += length - 1;
        } else {
            result += c;
        }
    }
    return result;
}

std::string listText(const std::vector<std::string_view>& items) {
    std::string text = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        text += (i ? ", \"" : "\"") + escaped(validUTF8(items[i]), true) + "\"";
    }
    return text + "]";
}

using Table = std::map<std::string, std::string, std::less<>>;

void putUnlessEmpty(Table& table, const char* key, std::optional<std::string_view> bytes) {
    if (bytes && !bytes->empty()) {
        table[key] = escaped(validUTF8(*bytes), false);
    }
}

Table customTable(const es_message_t& message, const RecordContext& context) {
    const es_event_exec_t& exec = message.event.exec;
    const es_process_t* target = exec.target;
    Table table;
    // Without a target there is no identity to tell; its blocks stay in the line.
    if (target) {
        const audit_token_t& token = target->audit_token;
        const uid_t uid = audit_token_to_ruid(token);
        const gid_t gid = audit_token_to_rgid(token);
        table["username"] = escaped(validUTF8(context.userNames.userName(uid)), false);
        table["uid"] = std::to_string(uid);
        table["group"] = escaped(validUTF8(context.userNames.groupName(gid)), false);
        table["guid"] = std::to_string(gid);
        table["auid"] = std::to_string(audit_token_to_auid(token));
        table["euid"] = std::to_string(audit_token_to_euid(token));
        table["egid"] = std::to_string(audit_token_to_egid(token));
        table["pid"] = std::to_string(audit_token_to_pid(token));
        table["ppid"] =
            std::to_string(message.version >= 4 ? audit_token_to_pid(target->parent_audit_token)
                                                : target->original_ppid);
        putUnlessEmpty(table, "command", pathView(target->executable));
    }
    table["timestamp"] = context.dateFormatter.string(executionTime(message).date);
    const auto tty = execTTY(message);
    table["tty"] = tty ? escaped(validUTF8(*tty), false) : "unknown";
    putUnlessEmpty(table, "exec_path", tokenView(exec.dyld_exec_path));
    putUnlessEmpty(table, "script", pathView(exec.script));
    putUnlessEmpty(table, "cwd", pathView(exec.cwd));
    table["arch"] = architectureName(exec.image_cputype);
    table["args"] = listText(execArguments(exec));
    table["env"] = listText(execEnvironment(exec));
    return table;
}

} // namespace

std::string substituteVariables(std::string_view format, const Table& values) {
    std::string line;
    line.reserve(format.size());
    size_t position = 0;
    while (position < format.size()) {
        const size_t open = format.find("${", position);
        if (open == std::string_view::npos) {
            break;
        }
        const size_t close = format.find('}', open + 2);
        if (close == std::string_view::npos) {
            break;
        }
        line.append(format.substr(position, open - position));
        const auto value = values.find(format.substr(open + 2, close - open - 2));
        if (value != values.end()) {
            line += value->second;
            position = close + 1;
        } else {
            // An unknown block stays as text; a known block may still begin inside it, so
            // only its "${" is passed over.
            line.append("${");
            position = open + 2;
        }
    }
    line.append(format.substr(position));
    return line;
}

std::string formatExecCustom(const es_message_t& message, std::string_view customLogFormat,
                             const RecordContext& context) {
    return substituteVariables(customLogFormat, customTable(message, context));
}

} // namespace vorla::records
