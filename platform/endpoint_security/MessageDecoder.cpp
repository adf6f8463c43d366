#include "platform/endpoint_security/MessageDecoder.hpp"

#include "platform/endpoint_security/HexDigit.hpp"
#include "platform/endpoint_security/LineParser.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

namespace vorla::endpoint_security {

namespace {

using simdjson::dom::element;
using Type = simdjson::dom::element_type;

// A value of the line, or none (null): left out, or null where null stands for left out. A
// pointer, since values are handed from call to call by the dozen and a pointer costs the least.
using Value = const element*;

// A count of simdjson's never saturates: a line has room for fewer items than its count holds.
static_assert(MessageDecoder::maxLineLength / 2 < 0xFFFFFF);
static_assert(MessageDecoder::linePadding >= LineParser::padding);

struct Malformed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string quoted(std::string_view key) {
    return "\"" + std::string(key) + "\"";
}

bool is(Value value, Type type) {
    return value && value->type() == type;
}

// The items of an array and the bytes of a string: each value is asked only for what its type
// holds.
simdjson::dom::array items(Value array) {
    return array->get_array().value_unsafe();
}

std::string_view text(Value value) {
    return value->get_string().value_unsafe();
}

// Names are short and most differ in length, so a comparison of lengths and then of at most two
// words each decides faster than a call of the library or a loop over the bytes would, whose end
// the processor cannot foresee; it is inlined into every search, which a call would slow down.
template <typename Word> Word word(std::string_view text, size_t start) {
    Word bits;
    std::memcpy(&bits, text.data() + start, sizeof bits);
    return bits;
}

[[gnu::always_inline]] inline bool sameName(std::string_view left, std::string_view right) {
    const size_t size = left.size();
    if (size != right.size()) {
        return false;
    }
    if (size >= 8) {
        return word<uint64_t>(left, 0) == word<uint64_t>(right, 0) &&
               word<uint64_t>(left, size - 8) == word<uint64_t>(right, size - 8) &&
               (size <= 16 || left.substr(8, size - 16) == right.substr(8, size - 16));
    }
    if (size >= 4) {
        return word<uint32_t>(left, 0) == word<uint32_t>(right, 0) &&
               word<uint32_t>(left, size - 4) == word<uint32_t>(right, size - 4);
    }
    return left == right;
}

// An object's members, gathered in one pass so that asking for each of them costs no pass over
// the object: a message's fields are asked for by name, a dozen of each object. An absent value,
// or one that is no object, has none. Of a repeated name the last member counts, as the general
// parser keeps it.
class Object {
public:
    Object() = default;
    explicit Object(Value value) {
        if (!is(value, Type::OBJECT)) {
            return;
        }
        present_ = true;
        const simdjson::dom::object all = value->get_object().value_unsafe();
        for (const auto& [name, member] : all) {
            if (count_ < gathered) {
                new (&storage_.members[count_]) Member{name, member};
            } else {
                if (more_.empty()) {
                    more_.assign(storage_.members, storage_.members + gathered);
                }
                more_.push_back({name, member});
            }
            ++count_;
        }
    }

    explicit operator bool() const { return present_; }

    // The member with the name, null included.
    Value anyMember(std::string_view name) const {
        const Member* first = more_.empty() ? storage_.members : more_.data();
        for (const Member* member = first + count_; member-- != first;) {
            if (sameName(member->name, name)) {
                return &member->value;
            }
        }
        return nullptr;
    }

private:
    struct Member {
        std::string_view name;
        element value;
    };

    // As many members as the largest message object has; an object with more, which holds
    // names that the stream format does not know, keeps them all in more_.
    static constexpr size_t gathered = 16;

    // Left unset until a member is gathered into it: setting sixteen for each object, most of
    // which hold a handful, measured slower.
    union Storage {
        Storage() {}
        Member members[gathered];
    } storage_;
    std::vector<Member> more_;
    size_t count_ = 0;
    bool present_ = false;
};

// A member that is left out or null counts as absent.
Value member(const Object& object, std::string_view key) {
    const Value value = object.anyMember(key);
    return is(value, Type::NULL_VALUE) ? nullptr : value;
}

// A member that is an object, or absent.
Value objectValue(const Object& object, std::string_view key) {
    const Value value = member(object, key);
    if (value && !is(value, Type::OBJECT)) {
        throw Malformed(quoted(key) + " is not an object");
    }
    return value;
}

Object objectMember(const Object& object, std::string_view key) {
    return Object(objectValue(object, key));
}

// The members of an object that is asked for a fixed list of names, found in one pass over it
// instead of gathered and searched for each name: a message holds them mostly in the order of
// the list, so each member is compared first with the name after the one found last. Of a
// repeated name the last member counts; a member that is null counts as absent.
template <size_t N> class Fields {
public:
    Fields(Value object, const std::array<std::string_view, N>& names) {
        static_assert(N <= 32);
        const simdjson::dom::object all = object->get_object().value_unsafe();
        size_t next = 0;
        for (const auto& [name, value] : all) {
            for (size_t tried = 0; tried < N; ++tried) {
                const size_t at = next;
                next = next + 1 < N ? next + 1 : 0;
                if (sameName(names[at], name)) {
                    values_[at] = value;
                    found_ |= uint32_t{1} << at;
                    break;
                }
            }
        }
    }

    // The value of the name at the index in the list, or none.
    Value operator[](size_t index) const {
        const element& value = values_[index];
        return (found_ >> index & 1) != 0 && value.type() != Type::NULL_VALUE ? &value : nullptr;
    }

private:
    std::array<element, N> values_;
    uint32_t found_ = 0;
};

template <typename T> T numberValue(Value value, std::string_view key) {
    const auto outOfRange = [&] { return Malformed(quoted(key) + " is not a number in range"); };
    if (is(value, Type::UINT64)) {
        const uint64_t number = value->get_uint64().value_unsafe();
        if (number > static_cast<uint64_t>(std::numeric_limits<T>::max())) {
            throw outOfRange();
        }
        return static_cast<T>(number);
    }
    if (is(value, Type::INT64)) {
        const int64_t number = value->get_int64().value_unsafe();
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

template <typename T> T number(const Object& object, std::string_view key, T fallback = T{}) {
    const Value value = member(object, key);
    return value ? numberValue<T>(value, key) : fallback;
}

template <typename T> T boundedNumber(const Object& object, std::string_view key, T low, T high) {
    const T value = number<T>(object, key);
    if (value < low || value > high) {
        throw Malformed(quoted(key) + " is not a number in range");
    }
    return value;
}

bool flag(const Object& object, std::string_view key) {
    const Value value = member(object, key);
    if (!value) {
        return false;
    }
    if (!is(value, Type::BOOL)) {
        throw Malformed(quoted(key) + " is not true or false");
    }
    return value->get_bool().value_unsafe();
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

    es_string_token_t token(const Object& object, std::string_view key) {
        const Value value = member(object, key);
        return value ? tokenValue(value, key) : es_string_token_t{};
    }

    es_string_token_t tokenValue(Value value, std::string_view key) {
        if (is(value, Type::NULL_VALUE)) {
            return {};
        }
        if (is(value, Type::STRING)) {
            return keepToken(text(value), std::nullopt, key);
        }
        if (!is(value, Type::OBJECT)) {
            throw Malformed(quoted(key) + " is not a string token");
        }
        const Object token(value);
        const Value data = member(token, "data");
        const Value hex = member(token, "hex");
        if ((data && hex) || (data && !is(data, Type::STRING)) || (hex && !is(hex, Type::STRING))) {
            throw Malformed(quoted(key) + " needs one text \"data\" or \"hex\"");
        }
        std::string decodedHex;
        std::string_view bytes;
        if (data) {
            bytes = text(data);
        } else if (hex) {
            decodedHex = hexBytes(text(hex), key);
            bytes = decodedHex;
        }
        const Value length = member(token, "length");
        return keepToken(
            bytes, length ? std::optional(numberValue<size_t>(length, key)) : std::nullopt, key);
    }

    es_string_token_t* tokens(const Object& object, std::string_view key, size_t& count) {
        const Value value = member(object, key);
        count = 0;
        if (!value) {
            return nullptr;
        }
        if (!is(value, Type::ARRAY)) {
            throw Malformed(quoted(key) + " is not an array");
        }
        const simdjson::dom::array list = items(value);
        es_string_token_t* tokens = owner_.makeArray<es_string_token_t>(list.size());
        for (const element item : list) {
            tokens[count++] = tokenValue(&item, key);
        }
        return tokens;
    }

    es_file_t* file(const Object& object, std::string_view key) {
        const Value value = member(object, key);
        if (!value) {
            return nullptr;
        }
        auto* result = owner_.make<es_file_t>();
        if (is(value, Type::STRING)) {
            result->path = tokenValue(value, key);
        } else if (is(value, Type::OBJECT)) {
            result->path = token(Object(value), "path");
        } else {
            throw Malformed(quoted(key) + " is not a file");
        }
        return result;
    }

    es_process_t* process(const Object& object, std::string_view key) {
        const Object value = objectMember(object, key);
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
        if (const Object start = objectMember(value, "start_time")) {
            result->start_time.tv_sec = number<time_t>(start, "sec");
            result->start_time.tv_usec = boundedNumber<suseconds_t>(start, "usec", 0, 999'999);
        }
        return result;
    }

    template <typename T> T* payload() { return owner_.make<T>(); }

private:
    static audit_token_t auditToken(const Object& object, std::string_view key) {
        // The ids in the order of the token's words, of which the last three are signed. An
        // execution has four tokens of eight ids: gathering them and searching for each id took
        // a fifth of its decoding.
        static constexpr std::array<std::string_view, 8> names{
            "auid", "euid", "egid", "ruid", "rgid", "pid", "asid", "pidversion"};
        audit_token_t token{};
        const Value value = objectValue(object, key);
        if (!value) {
            return token;
        }
        const Fields ids(value, names);
        for (size_t index = 0; index < names.size(); ++index) {
            if (const Value id = ids[index]) {
                token.val[index] =
                    index < 5 ? numberValue<uint32_t>(id, names[index])
                              : static_cast<uint32_t>(numberValue<int32_t>(id, names[index]));
            }
        }
        return token;
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

void fixedText(const Object& object, std::string_view key, char* target, size_t size) {
    const Value value = member(object, key);
    if (!value) {
        return;
    }
    if (!is(value, Type::STRING)) {
        throw Malformed(quoted(key) + " is not a string");
    }
    const std::string_view name = text(value);
    // A longer name fills the whole array, with no zero byte, as the kernel leaves it.
    std::memcpy(target, name.data(), std::min(size, name.size()));
}

es_statfs_t* statfs(Reader& reader, const Object& event) {
    auto* result = reader.payload<es_statfs_t>();
    const Object value = objectMember(event, "statfs");
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
        const simdjson::dom::array pair =
            is(fsid, Type::ARRAY) ? items(fsid) : simdjson::dom::array();
        if (!is(fsid, Type::ARRAY) || pair.size() != 2) {
            throw Malformed("\"f_fsid\" is not an array of two numbers");
        }
        auto item = pair.begin();
        const element first = *item;
        const element second = *++item;
        result->f_fsid.val[0] = numberValue<int32_t>(&first, "f_fsid");
        result->f_fsid.val[1] = numberValue<int32_t>(&second, "f_fsid");
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

es_event_exec_t exec(Reader& reader, const Object& event) {
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

es_event_authentication_t* authentication(Reader& reader, const Object& event) {
    auto* result = reader.payload<es_event_authentication_t>();
    result->success = flag(event, "success");
    result->type = number<es_authentication_type_t>(event, "type");
    const Object data = objectMember(event, "data");
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
template <typename Session> Session* session(Reader& reader, const Object& event) {
    auto* result = reader.payload<Session>();
    result->username = reader.token(event, "username");
    result->graphical_session_id = number<es_graphical_session_id_t>(event, "graphical_session_id");
    return result;
}

es_event_screensharing_attach_t* screensharingAttach(Reader& reader, const Object& event) {
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

es_event_screensharing_detach_t* screensharingDetach(Reader& reader, const Object& event) {
    auto* result = reader.payload<es_event_screensharing_detach_t>();
    result->source_address_type = number<es_address_type_t>(event, "source_address_type");
    result->source_address = reader.token(event, "source_address");
    result->viewer_appleid = reader.token(event, "viewer_appleid");
    result->graphical_session_id = number<es_graphical_session_id_t>(event, "graphical_session_id");
    return result;
}

es_event_openssh_login_t* opensshLogin(Reader& reader, const Object& event) {
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

es_event_openssh_logout_t* opensshLogout(Reader& reader, const Object& event) {
    auto* result = reader.payload<es_event_openssh_logout_t>();
    result->source_address_type = number<es_address_type_t>(event, "source_address_type");
    result->source_address = reader.token(event, "source_address");
    result->username = reader.token(event, "username");
    result->uid = number<uid_t>(event, "uid");
    return result;
}

es_event_login_login_t* loginLogin(Reader& reader, const Object& event) {
    auto* result = reader.payload<es_event_login_login_t>();
    result->success = flag(event, "success");
    result->failure_message = reader.token(event, "failure_message");
    result->username = reader.token(event, "username");
    result->has_uid = flag(event, "has_uid");
    result->uid = number<uid_t>(event, "uid");
    return result;
}

es_event_login_logout_t* loginLogout(Reader& reader, const Object& event) {
    auto* result = reader.payload<es_event_login_logout_t>();
    result->username = reader.token(event, "username");
    result->uid = number<uid_t>(event, "uid");
    return result;
}

es_event_su_t* su(Reader& reader, const Object& event) {
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

es_event_sudo_t* sudo(Reader& reader, const Object& event) {
    auto* result = reader.payload<es_event_sudo_t>();
    result->success = flag(event, "success");
    if (const Object reject = objectMember(event, "reject_info")) {
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
bool readPayload(Reader& reader, es_message_t& message, const Object& event) {
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

MessageDecoder::Result readMessage(const std::optional<element>& root,
                                   const MessageDecoder::Clock& clock) {
    if (!root || root->type() != Type::OBJECT) {
        return {std::nullopt, "not a JSON object"};
    }
    const Object object(&*root);
    DecodedMessage decoded;
    es_message_t& message = decoded.message();
    bool timeLeftOut = false;
    bool sequenceLeftOut = false;
    bool knownType = false;
    try {
        Reader reader(decoded);
        message.version = number<uint32_t>(object, "version", 7);
        if (const Object time = objectMember(object, "time")) {
            message.time.tv_sec = number<time_t>(time, "sec");
            message.time.tv_nsec = boundedNumber<long>(time, "nsec", 0, 999'999'999);
        } else {
            MessageDecoder::setTime(message, clock());
            timeLeftOut = true;
        }
        sequenceLeftOut = !object.anyMember("global_seq_num");
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

} // namespace

MessageDecoder::MessageDecoder(Clock clock)
    : clock_(std::move(clock)), parser_(std::make_unique<LineParser>()) {}

MessageDecoder::~MessageDecoder() = default;

MessageDecoder::Result MessageDecoder::decode(std::string_view line) {
    return decodeLine(line, false);
}

MessageDecoder::Result MessageDecoder::decodePadded(std::string_view line) {
    return decodeLine(line, true);
}

MessageDecoder::Result MessageDecoder::decodeLine(std::string_view line, bool padded) {
    if (line.size() > maxLineLength) {
        return {std::nullopt, lineTooLong()};
    }
    Result result = readMessage(padded ? parser_->parsePadded(line) : parser_->parse(line), clock_);
    if (line.size() > reusedLineLength) {
        parser_->release();
    }
    return result;
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
