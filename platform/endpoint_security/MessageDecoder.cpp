#include "platform/endpoint_security/MessageDecoder.hpp"

#include "platform/endpoint_security/HexDigit.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace vorla::endpoint_security {

namespace {

using Value = LineDocument::Value;
using Kind = LineDocument::Kind;

struct Malformed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string quoted(std::string_view key) {
    return "\"" + std::string(key) + "\"";
}

// A member that is left out or null counts as absent.
Value member(Value object, std::string_view key) {
    const Value value = object.member(key);
    return value.is(Kind::null) ? Value() : value;
}

Value objectMember(Value object, std::string_view key) {
    const Value value = member(object, key);
    if (value && !value.is(Kind::object)) {
        throw Malformed(quoted(key) + " is not an object");
    }
    return value;
}

template <typename T> T numberValue(Value value, std::string_view key) {
    const auto outOfRange = [&] { return Malformed(quoted(key) + " is not a number in range"); };
    if (value.is(Kind::unsignedInteger)) {
        const uint64_t number = value.unsignedInteger();
        if (number > static_cast<uint64_t>(std::numeric_limits<T>::max())) {
            throw outOfRange();
        }
        return static_cast<T>(number);
    }
    if (value.is(Kind::integer)) {
        const int64_t number = value.integer();
        if constexpr (std::is_unsigned_v<T>) {
            if (number < 0 || static_cast<uint64_t>(number) > std::numeric_limits<T>::max()) {
                throw outOfRange();
            }
        } else if (number < std::numeric_limits<T>::min() ||
                   number > std::numeric_limits<T>::max()) {
            throw outOfRange();
        }
        return static_cast<T>(number);
    }
    throw outOfRange();
}

template <typename T> T number(Value object, std::string_view key, T fallback = T{}) {
    const Value value = member(object, key);
    return value ? numberValue<T>(value, key) : fallback;
}

template <typename T> T boundedNumber(Value object, std::string_view key, T low, T high) {
    const T value = number<T>(object, key);
    if (value < low || value > high) {
        throw Malformed(quoted(key) + " is not a number in range");
    }
    return value;
}

bool flag(Value object, std::string_view key) {
    const Value value = member(object, key);
    if (!value) {
        return false;
    }
    if (!value.is(Kind::boolean)) {
        throw Malformed(quoted(key) + " is not true or false");
    }
    return value.boolean();
}

std::string hexBytes(std::string_view hex, std::string_view key) {
    if (hex.size() % 2 != 0) {
        throw Malformed(quoted(key) + " has an odd number of hex digits");
    }
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexDigitValue(hex[i]);
        const int low = hexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0) {
            throw Malformed(quoted(key) + " holds a character that is not a hex digit");
        }
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

// Reads the values of one message into memory that the message owns.
class Reader {
public:
    explicit Reader(DecodedMessage& owner) : owner_(owner) {}

    es_string_token_t token(Value object, std::string_view key) {
        const Value value = member(object, key);
        return value ? tokenValue(value, key) : es_string_token_t{};
    }

    es_string_token_t tokenValue(Value value, std::string_view key) {
        if (value.is(Kind::null)) {
            return {};
        }
        if (value.is(Kind::string)) {
            return keepToken(value.string(), std::nullopt, key);
        }
        if (!value.is(Kind::object)) {
            throw Malformed(quoted(key) + " is not a string token");
        }
        const Value data = member(value, "data");
        const Value hex = member(value, "hex");
        if ((data && hex) || (data && !data.is(Kind::string)) || (hex && !hex.is(Kind::string))) {
            throw Malformed(quoted(key) + " needs one text \"data\" or \"hex\"");
        }
        std::string decodedHex;
        std::string_view bytes;
        if (data) {
            bytes = data.string();
        } else if (hex) {
            decodedHex = hexBytes(hex.string(), key);
            bytes = decodedHex;
        }
        const Value length = member(value, "length");
        return keepToken(
            bytes, length ? std::optional(numberValue<size_t>(length, key)) : std::nullopt, key);
    }

    es_string_token_t* tokens(Value object, std::string_view key, size_t& count) {
        const Value value = member(object, key);
        count = 0;
        if (!value) {
            return nullptr;
        }
        if (value.is(Kind::textList)) {
            return textTokens(value, key, count);
        }
        if (!value.is(Kind::array)) {
            throw Malformed(quoted(key) + " is not an array");
        }
        es_string_token_t* list = owner_.makeArray<es_string_token_t>(value.size());
        for (Value item = value.firstItem(); count < value.size(); item = item.nextItem()) {
            list[count++] = tokenValue(item, key);
        }
        return list;
    }

    es_file_t* file(Value object, std::string_view key) {
        const Value value = member(object, key);
        if (!value) {
            return nullptr;
        }
        auto* result = owner_.make<es_file_t>();
        if (value.is(Kind::string)) {
            result->path = tokenValue(value, key);
        } else if (value.is(Kind::object)) {
            result->path = token(value, "path");
        } else {
            throw Malformed(quoted(key) + " is not a file");
        }
        return result;
    }

    es_process_t* process(Value object, std::string_view key) {
        const Value value = objectMember(object, key);
        if (!value) {
            return nullptr;
        }
        auto* result = owner_.make<es_process_t>();
        result->audit_token = auditToken(value, "audit_token");
        result->parent_audit_token = auditToken(value, "parent_audit_token");
        result->responsible_audit_token = auditToken(value, "responsible_audit_token");
        result->ppid = number<pid_t>(value, "ppid");
        result->original_ppid = number<pid_t>(value, "original_ppid");
        result->group_id = number<pid_t>(value, "group_id");
        result->session_id = number<pid_t>(value, "session_id");
        result->team_id = token(value, "team_id");
        result->signing_id = token(value, "signing_id");
        result->is_platform_binary = flag(value, "is_platform_binary");
        result->executable = file(value, "executable");
        result->tty = file(value, "tty");
        if (const Value start = objectMember(value, "start_time")) {
            result->start_time.tv_sec = number<time_t>(start, "sec");
            result->start_time.tv_usec = boundedNumber<suseconds_t>(start, "usec", 0, 999'999);
        }
        return result;
    }

    template <typename T> T* payload() { return owner_.make<T>(); }

private:
    static audit_token_t auditToken(Value object, std::string_view key) {
        audit_token_t token{};
        const Value value = objectMember(object, key);
        if (!value) {
            return token;
        }
        token.val[0] = number<uint32_t>(value, "auid");
        token.val[1] = number<uint32_t>(value, "euid");
        token.val[2] = number<uint32_t>(value, "egid");
        token.val[3] = number<uint32_t>(value, "ruid");
        token.val[4] = number<uint32_t>(value, "rgid");
        token.val[5] = static_cast<uint32_t>(number<int32_t>(value, "pid"));
        token.val[6] = static_cast<uint32_t>(number<int32_t>(value, "asid"));
        token.val[7] = static_cast<uint32_t>(number<int32_t>(value, "pidversion"));
        return token;
    }

    // The texts, each already followed by a zero byte, are copied all at once and the tokens
    // point into the copy, so a list of millions of arguments costs no allocation for each.
    es_string_token_t* textTokens(Value list, std::string_view key, size_t& count) {
        count = list.size();
        es_string_token_t* tokens = owner_.makeArray<es_string_token_t>(count);
        const std::string_view texts = list.texts();
        const char* kept = owner_.keep(texts, texts.size());
        for (size_t index = 0; index < count; ++index) {
            const std::string_view text = list.text(index);
            charge(text.size(), text.size(), key);
            tokens[index] = {text.size(), kept + (text.data() - texts.data())};
        }
        return tokens;
    }

    // The bytes are padded with zero bytes up to the larger of their count and the length.
    es_string_token_t keepToken(std::string_view bytes, std::optional<size_t> length,
                                std::string_view key) {
        const size_t tokenLength = length.value_or(bytes.size());
        charge(bytes.size(), tokenLength, key);
        return {tokenLength, owner_.keep(bytes, tokenLength)};
    }

    void charge(size_t byteCount, size_t tokenLength, std::string_view key) {
        if (tokenLength > MessageDecoder::maxTokenLength) {
            throw Malformed(quoted(key) + " is longer than the service accepts");
        }
        budget_ += std::max(byteCount, tokenLength);
        if (budget_ > MessageDecoder::maxMessageBytes) {
            throw Malformed("the message is larger than the service accepts");
        }
    }

    DecodedMessage& owner_;
    size_t budget_ = 0;
};

void fixedText(Value object, std::string_view key, char* target, size_t size) {
    const Value value = member(object, key);
    if (!value) {
        return;
    }
    if (!value.is(Kind::string)) {
        throw Malformed(quoted(key) + " is not a string");
    }
    const std::string_view text = value.string();
    // A longer name fills the whole array, with no zero byte, as the kernel leaves it.
    std::memcpy(target, text.data(), std::min(size, text.size()));
}

es_statfs_t* statfs(Reader& reader, Value event) {
    auto* result = reader.payload<es_statfs_t>();
    const Value value = objectMember(event, "statfs");
    if (!value) {
        return result;
    }
    result->f_bsize = number<uint32_t>(value, "f_bsize");
    result->f_iosize = number<int32_t>(value, "f_iosize");
    result->f_blocks = number<uint64_t>(value, "f_blocks");
    result->f_bfree = number<uint64_t>(value, "f_bfree");
    result->f_bavail = number<uint64_t>(value, "f_bavail");
    result->f_files = number<uint64_t>(value, "f_files");
    result->f_ffree = number<uint64_t>(value, "f_ffree");
    if (const Value fsid = member(value, "f_fsid")) {
        if (fsid.is(Kind::textList) && fsid.size() == 2) {
            throw Malformed("\"f_fsid\" is not a number in range");
        }
        if (!fsid.is(Kind::array) || fsid.size() != 2) {
            throw Malformed("\"f_fsid\" is not an array of two numbers");
        }
        result->f_fsid.val[0] = numberValue<int32_t>(fsid.firstItem(), "f_fsid");
        result->f_fsid.val[1] = numberValue<int32_t>(fsid.firstItem().nextItem(), "f_fsid");
    }
    result->f_owner = number<uid_t>(value, "f_owner");
    result->f_type = number<uint32_t>(value, "f_type");
    result->f_flags = number<uint32_t>(value, "f_flags");
    result->f_fssubtype = number<uint32_t>(value, "f_fssubtype");
    fixedText(value, "f_fstypename", result->f_fstypename, sizeof result->f_fstypename);
    fixedText(value, "f_mntonname", result->f_mntonname, sizeof result->f_mntonname);
    fixedText(value, "f_mntfromname", result->f_mntfromname, sizeof result->f_mntfromname);
    result->f_flags_ext = number<uint32_t>(value, "f_flags_ext");
    return result;
}

es_event_exec_t exec(Reader& reader, Value event) {
    es_event_exec_t result{};
    result.target = reader.process(event, "target");
    result.script = reader.file(event, "script");
    result.cwd = reader.file(event, "cwd");
    result.dyld_exec_path = reader.token(event, "dyld_exec_path");
    result.image_cputype = number<cpu_type_t>(event, "image_cputype");
    size_t count = 0;
    result.reserved_args = reader.tokens(event, "args", count);
    result.reserved_arg_count = static_cast<uint32_t>(count);
    result.reserved_env = reader.tokens(event, "env", count);
    result.reserved_env_count = static_cast<uint32_t>(count);
    return result;
}

es_event_authentication_t* authentication(Reader& reader, Value event) {
    auto* result = reader.payload<es_event_authentication_t>();
    result->success = flag(event, "success");
    result->type = number<es_authentication_type_t>(event, "type");
    const Value data = objectMember(event, "data");
    switch (result->type) {
    case ES_AUTHENTICATION_TYPE_OD: {
        auto* od = reader.payload<es_event_authentication_od_t>();
        od->instigator = reader.process(data, "instigator");
        od->record_type = reader.token(data, "record_type");
        od->record_name = reader.token(data, "record_name");
        od->node_name = reader.token(data, "node_name");
        od->db_path = reader.token(data, "db_path");
        result->data.od = od;
        break;
    }
    case ES_AUTHENTICATION_TYPE_TOUCHID: {
        auto* touchid = reader.payload<es_event_authentication_touchid_t>();
        touchid->instigator = reader.process(data, "instigator");
        touchid->touchid_mode = number<es_touchid_mode_t>(data, "touchid_mode");
        touchid->has_uid = flag(data, "has_uid");
        touchid->uid = number<uid_t>(data, "uid");
        result->data.touchid = touchid;
        break;
    }
    case ES_AUTHENTICATION_TYPE_TOKEN: {
        auto* token = reader.payload<es_event_authentication_token_t>();
        token->instigator = reader.process(data, "instigator");
        token->pubkey_hash = reader.token(data, "pubkey_hash");
        token->token_id = reader.token(data, "token_id");
        token->kerberos_principal = reader.token(data, "kerberos_principal");
        result->data.token = token;
        break;
    }
    case ES_AUTHENTICATION_TYPE_AUTO_UNLOCK: {
        auto* autoUnlock = reader.payload<es_event_authentication_auto_unlock_t>();
        autoUnlock->username = reader.token(data, "username");
        autoUnlock->type = number<es_auto_unlock_type_t>(data, "type");
        result->data.auto_unlock = autoUnlock;
        break;
    }
    default:
        break;
    }
    return result;
}

// The four login-window session payloads have the same two fields.
template <typename Session> Session* session(Reader& reader, Value event) {
    auto* result = reader.payload<Session>();
    result->username = reader.token(event, "username");
    result->graphical_session_id = number<es_graphical_session_id_t>(event, "graphical_session_id");
    return result;
}

es_event_screensharing_attach_t* screensharingAttach(Reader& reader, Value event) {
    auto* result = reader.payload<es_event_screensharing_attach_t>();
    result->success = flag(event, "success");
    result->source_address_type = number<es_address_type_t>(event, "source_address_type");
    result->source_address = reader.token(event, "source_address");
    result->viewer_appleid = reader.token(event, "viewer_appleid");
    result->authentication_type = reader.token(event, "authentication_type");
    result->authentication_username = reader.token(event, "authentication_username");
    result->session_username = reader.token(event, "session_username");
    result->existing_session = flag(event, "existing_session");
    result->graphical_session_id = number<es_graphical_session_id_t>(event, "graphical_session_id");
    return result;
}

es_event_screensharing_detach_t* screensharingDetach(Reader& reader, Value event) {
    auto* result = reader.payload<es_event_screensharing_detach_t>();
    result->source_address_type = number<es_address_type_t>(event, "source_address_type");
    result->source_address = reader.token(event, "source_address");
    result->viewer_appleid = reader.token(event, "viewer_appleid");
    result->graphical_session_id = number<es_graphical_session_id_t>(event, "graphical_session_id");
    return result;
}

es_event_openssh_login_t* opensshLogin(Reader& reader, Value event) {
    auto* result = reader.payload<es_event_openssh_login_t>();
    result->success = flag(event, "success");
    result->result_type = number<es_openssh_login_result_type_t>(event, "result_type");
    result->source_address_type = number<es_address_type_t>(event, "source_address_type");
    result->source_address = reader.token(event, "source_address");
    result->username = reader.token(event, "username");
    result->has_uid = flag(event, "has_uid");
    result->uid = number<uid_t>(event, "uid");
    return result;
}

es_event_openssh_logout_t* opensshLogout(Reader& reader, Value event) {
    auto* result = reader.payload<es_event_openssh_logout_t>();
    result->source_address_type = number<es_address_type_t>(event, "source_address_type");
    result->source_address = reader.token(event, "source_address");
    result->username = reader.token(event, "username");
    result->uid = number<uid_t>(event, "uid");
    return result;
}

es_event_login_login_t* loginLogin(Reader& reader, Value event) {
    auto* result = reader.payload<es_event_login_login_t>();
    result->success = flag(event, "success");
    result->failure_message = reader.token(event, "failure_message");
    result->username = reader.token(event, "username");
    result->has_uid = flag(event, "has_uid");
    result->uid = number<uid_t>(event, "uid");
    return result;
}

es_event_login_logout_t* loginLogout(Reader& reader, Value event) {
    auto* result = reader.payload<es_event_login_logout_t>();
    result->username = reader.token(event, "username");
    result->uid = number<uid_t>(event, "uid");
    return result;
}

es_event_su_t* su(Reader& reader, Value event) {
    auto* result = reader.payload<es_event_su_t>();
    result->success = flag(event, "success");
    result->failure_message = reader.token(event, "failure_message");
    result->from_uid = number<uid_t>(event, "from_uid");
    result->from_username = reader.token(event, "from_username");
    result->has_to_uid = flag(event, "has_to_uid");
    result->to_uid = number<uid_t>(event, "to_uid");
    result->to_username = reader.token(event, "to_username");
    result->shell = reader.token(event, "shell");
    result->argv = reader.tokens(event, "argv", result->argc);
    result->env = reader.tokens(event, "env", result->env_count);
    return result;
}

es_event_sudo_t* sudo(Reader& reader, Value event) {
    auto* result = reader.payload<es_event_sudo_t>();
    result->success = flag(event, "success");
    if (const Value reject = objectMember(event, "reject_info")) {
        auto* info = reader.payload<es_sudo_reject_info_t>();
        info->plugin_name = reader.token(reject, "plugin_name");
        info->plugin_type = number<es_sudo_plugin_type_t>(reject, "plugin_type");
        info->failure_message = reader.token(reject, "failure_message");
        result->reject_info = info;
    }
    result->has_from_uid = flag(event, "has_from_uid");
    result->from_uid = number<uid_t>(event, "from_uid");
    result->from_username = reader.token(event, "from_username");
    result->has_to_uid = flag(event, "has_to_uid");
    result->to_uid = number<uid_t>(event, "to_uid");
    result->to_username = reader.token(event, "to_username");
    result->command = reader.token(event, "command");
    return result;
}

// Whether the type has a payload in the stream format; other types keep an empty one.
bool readPayload(Reader& reader, es_message_t& message, Value event) {
    es_events_t& payload = message.event;
    switch (message.event_type) {
    case ES_EVENT_TYPE_NOTIFY_EXEC:
        payload.exec = exec(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_KEXTLOAD:
        payload.kextload.identifier = reader.token(event, "identifier");
        return true;
    case ES_EVENT_TYPE_NOTIFY_KEXTUNLOAD:
        payload.kextunload.identifier = reader.token(event, "identifier");
        return true;
    case ES_EVENT_TYPE_NOTIFY_MOUNT:
        payload.mount.statfs = statfs(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_UNMOUNT:
        payload.unmount.statfs = statfs(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_AUTHENTICATION:
        payload.authentication = authentication(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_LW_SESSION_LOGIN:
        payload.lw_session_login = session<es_event_lw_session_login_t>(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_LW_SESSION_LOGOUT:
        payload.lw_session_logout = session<es_event_lw_session_logout_t>(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_LW_SESSION_LOCK:
        payload.lw_session_lock = session<es_event_lw_session_lock_t>(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_LW_SESSION_UNLOCK:
        payload.lw_session_unlock = session<es_event_lw_session_unlock_t>(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_SCREENSHARING_ATTACH:
        payload.screensharing_attach = screensharingAttach(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_SCREENSHARING_DETACH:
        payload.screensharing_detach = screensharingDetach(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_OPENSSH_LOGIN:
        payload.openssh_login = opensshLogin(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_OPENSSH_LOGOUT:
        payload.openssh_logout = opensshLogout(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_LOGIN_LOGIN:
        payload.login_login = loginLogin(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_LOGIN_LOGOUT:
        payload.login_logout = loginLogout(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_SU:
        payload.su = su(reader, event);
        return true;
    case ES_EVENT_TYPE_NOTIFY_SUDO:
        payload.sudo = sudo(reader, event);
        return true;
    default:
        return false;
    }
}

} // namespace

MessageDecoder::MessageDecoder(Clock clock) : clock_(std::move(clock)) {}

MessageDecoder::Result MessageDecoder::decode(std::string_view line) {
    if (line.size() > maxLineLength) {
        return {std::nullopt, lineTooLong()};
    }
    Result result = decodeObject(line);
    if (line.size() > reusedLineLength) {
        document_.release();
    }
    return result;
}

MessageDecoder::Result MessageDecoder::decodeObject(std::string_view line) {
    if (!document_.parse(line) || !document_.root().is(Kind::object)) {
        return {std::nullopt, "not a JSON object"};
    }
    const Value object = document_.root();
    DecodedMessage decoded;
    es_message_t& message = decoded.message();
    bool timeLeftOut = false;
    bool sequenceLeftOut = false;
    bool knownType = false;
    try {
        Reader reader(decoded);
        message.version = number<uint32_t>(object, "version", 7);
        if (const Value time = objectMember(object, "time")) {
            message.time.tv_sec = number<time_t>(time, "sec");
            message.time.tv_nsec = boundedNumber<long>(time, "nsec", 0, 999'999'999);
        } else {
            setTime(message, clock_());
            timeLeftOut = true;
        }
        sequenceLeftOut = !object.member("global_seq_num");
        message.global_seq_num = number<uint64_t>(object, "global_seq_num");
        message.event_type = number<es_event_type_t>(object, "event_type");
        message.process = reader.process(object, "process");
        // A left-out event reads as an object with no members.
        knownType = readPayload(reader, message, objectMember(object, "event"));
    } catch (const Malformed& error) {
        return {std::nullopt, error.what()};
    }
    return {std::move(decoded), {}, timeLeftOut, sequenceLeftOut, knownType};
}

std::string MessageDecoder::lineTooLong() {
    return "longer than the " + std::to_string(maxLineLength) + " bytes the service accepts";
}

void MessageDecoder::setTime(es_message_t& message, std::chrono::system_clock::time_point time) {
    const auto sinceEpoch = time.time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    message.time.tv_sec = static_cast<time_t>(seconds.count());
    message.time.tv_nsec = static_cast<long>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - seconds).count());
}

} // namespace vorla::endpoint_security
