#include "extension/records/ExecLines.hpp"
#include "extension/records/ExecValues.hpp"
#include "extension/records/RecordText.hpp"

#include "extension/records/Timestamp.hpp"

#include <algorithm>
#include <array>
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

// Whether the byte stands for itself in a value: not a control character, not the first byte
// of a separator, and in a list item not a delimiter.
bool standsForItself(unsigned char byte, bool listItem) {
    return byte >= 0x20 && byte != 0x7F && byte != 0xC2 && byte != 0xE2 &&
           !(listItem && (byte == '"' || byte == '\\'));
}

// Control characters become backslash escapes, so no value can end the line. Inside a list
// item the double quote and the backslash are escaped too, since they delimit the items. The
// text is valid UTF-8 already. Runs of bytes that stand for themselves are appended whole: a
// line of a dozen arguments took a call for each of their characters.
void appendEscaped(std::string& result, std::string_view text, bool listItem) {
    size_t i = 0;
    while (i < text.size()) {
        const size_t run = i;
        while (i < text.size() && standsForItself(static_cast<unsigned char>(text[i]), listItem)) {
            ++i;
        }
        result.append(text.substr(run, i - run));
        if (i == text.size()) {
            break;
        }
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
        ++i;
    }
}

// The bytes as valid UTF-8, escaped; copied only when they need repair.
void appendEscapedBytes(std::string& result, std::string_view bytes, bool listItem) {
    if (isValidUTF8(bytes)) {
        appendEscaped(result, bytes, listItem);
    } else {
        appendEscaped(result, validUTF8(bytes), listItem);
    }
}

std::string escapedBytes(std::string_view bytes, bool listItem) {
    std::string result;
    result.reserve(bytes.size());
    appendEscapedBytes(result, bytes, listItem);
    return result;
}

std::string listText(const std::vector<std::string_view>& items) {
    size_t size = 2;
    for (const std::string_view item : items) {
        size += item.size() + 4;
    }
    std::string text;
    text.reserve(size);
    text += '[';
    for (size_t i = 0; i < items.size(); ++i) {
        text += i ? ", \"" : "\"";
        appendEscapedBytes(text, items[i], true);
        text += '"';
    }
    text += ']';
    return text;
}

// The keys of the custom table, in the order of their values.
enum Key : size_t {
    username,
    uid,
    group,
    guid,
    auid,
    euid,
    egid,
    pid,
    ppid,
    timestamp,
    tty,
    command,
    exec_path,
    script,
    cwd,
    arch,
    args,
    env,
    keyCount
};
constexpr std::string_view keyNames[keyCount] = {
    "username",  "uid", "group",   "guid",      "auid",   "euid", "egid", "pid",  "ppid",
    "timestamp", "tty", "command", "exec_path", "script", "cwd",  "arch", "args", "env"};

using Values = std::array<std::optional<std::string>, keyCount>;

std::optional<std::string> unlessEmpty(std::optional<std::string_view> bytes) {
    if (bytes && !bytes->empty()) {
        return escapedBytes(*bytes, false);
    }
    return std::nullopt;
}

// The value of every key the template uses: a line pays only for what it shows, and the user
// and group databases are asked only when it shows their names.
Values customValues(const es_message_t& message, const RecordContext& context,
                    const LineTemplate& line) {
    const es_event_exec_t& exec = message.event.exec;
    const es_process_t* target = exec.target;
    Values values;
    const auto put = [&](Key key, auto value) {
        if (line.uses(key)) {
            values[key] = value();
        }
    };
    // Without a target there is no identity to tell; its blocks stay in the line.
    if (target) {
        const audit_token_t& token = target->audit_token;
        const uid_t ruid = audit_token_to_ruid(token);
        const gid_t rgid = audit_token_to_rgid(token);
        put(username, [&] { return escapedBytes(context.userNames.userName(ruid), false); });
        put(uid, [&] { return std::to_string(ruid); });
        put(group, [&] { return escapedBytes(context.userNames.groupName(rgid), false); });
        put(guid, [&] { return std::to_string(rgid); });
        put(auid, [&] { return std::to_string(audit_token_to_auid(token)); });
        put(euid, [&] { return std::to_string(audit_token_to_euid(token)); });
        put(egid, [&] { return std::to_string(audit_token_to_egid(token)); });
        put(pid, [&] { return std::to_string(audit_token_to_pid(token)); });
        put(ppid, [&] {
            return std::to_string(message.version >= 4
                                      ? audit_token_to_pid(target->parent_audit_token)
                                      : target->original_ppid);
        });
        put(command, [&] { return unlessEmpty(pathView(target->executable)); });
    }
    // The shared formatter's text, written by arithmetic as every record's timestamp is.
    put(timestamp, [&] { return timestampText(executionTime(message).date); });
    put(tty, [&] {
        const auto bytes = execTTY(message);
        return bytes ? escapedBytes(*bytes, false) : "unknown";
    });
    put(exec_path, [&] { return unlessEmpty(tokenView(exec.dyld_exec_path)); });
    put(script, [&] { return unlessEmpty(pathView(exec.script)); });
    put(cwd, [&] { return unlessEmpty(pathView(exec.cwd)); });
    put(arch, [&] { return std::string(architectureName(exec.image_cputype)); });
    put(args, [&] { return listText(execArguments(exec)); });
    put(env, [&] { return listText(execEnvironment(exec)); });
    return values;
}

} // namespace

LineTemplate::LineTemplate(std::string_view format, std::span<const std::string_view> keys)
    : keys_(keys.begin(), keys.end()), used_(keys.size(), false) {
    std::string text;
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
        text.append(format.substr(position, open - position));
        const auto key =
            std::find(keys.begin(), keys.end(), format.substr(open + 2, close - open - 2));
        if (key != keys.end()) {
            const auto index = static_cast<size_t>(key - keys.begin());
            used_[index] = true;
            textSize_ += text.size();
            pieces_.push_back({std::move(text), index});
            text.clear();
            position = close + 1;
        } else {
            // An unknown block stays as text; a known block may still begin inside it, so
            // only its "${" is passed over.
            text.append("${");
            position = open + 2;
        }
    }
    text.append(format.substr(position));
    textSize_ += text.size();
    pieces_.push_back({std::move(text), noKey});
}

std::string LineTemplate::fill(std::span<const std::optional<std::string>> values) const {
    size_t size = textSize_;
    for (const Piece& piece : pieces_) {
        if (piece.key != noKey) {
            size += values[piece.key] ? values[piece.key]->size() : keys_[piece.key].size() + 3;
        }
    }
    std::string line;
    line.reserve(size);
    for (const Piece& piece : pieces_) {
        line += piece.text;
        if (piece.key != noKey && values[piece.key]) {
            line += *values[piece.key];
        } else if (piece.key != noKey) {
            line.append("${").append(keys_[piece.key]).append("}");
        }
    }
    return line;
}

CustomTemplate::CustomTemplate(std::string_view customLogFormat)
    : template_(customLogFormat, keyNames) {}

std::string CustomTemplate::line(const es_message_t& message, const RecordContext& context) const {
    return template_.fill(customValues(message, context, template_));
}

} // namespace vorla::records
