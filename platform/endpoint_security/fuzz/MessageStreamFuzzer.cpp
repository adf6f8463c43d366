// Feeds arbitrary bytes, line by line, through the message-stream decoder and every record and
// execution line: nothing may crash or leak, every JSON line must read back as the general
// encoder writes it, and no line may hold more line breaks than its format has. The decoder's
// parser must accept exactly what the general JSON parser accepts and keep the same values,
// types included.

#include "extension/records/AccessEvents.hpp"
#include "extension/records/ExecLines.hpp"
#include "extension/records/JSONLine.hpp"
#include "platform/endpoint_security/LineParser.hpp"
#include "platform/endpoint_security/MessageDecoder.hpp"
#include "platform/foundation/JSONEncoder.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string_view>

namespace {

using namespace vorla;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Parsed and encoded again by the general encoder, a line written straight must come back
// byte for byte: so its keys are in byte order at every level, none repeats, and every value is
// escaped as the encoder escapes it.
void checkJSONLine(const std::string& line) {
    require(line.find_first_of("\r\n") == std::string::npos);
    const auto parsed = nlohmann::json::parse(line, nullptr, false);
    require(!parsed.is_discarded());
    require(foundation::JSONEncoder().encode(parsed) == line);
}

size_t lineBreaks(const std::string& line) {
    return static_cast<size_t>(
        std::count_if(line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }));
}

void handle(const es_message_t& message) {
    records::UserNameCache userNames;
    const records::RecordContext context{userNames};
    if (message.event_type == ES_EVENT_TYPE_NOTIFY_EXEC) {
        checkJSONLine(records::execRecord(message, context));
        require(lineBreaks(records::formatExecAuditd(message)) == 1);
        static const records::CustomTemplate everyKey(
            "${timestamp} ${username} ${group} ${command} ${args} ${env} ${tty} "
            "${cwd} ${script} ${exec_path} ${arch} ${ppid}");
        require(lineBreaks(everyKey.line(message, context)) == 0);
        return;
    }
    try {
        if (auto line = records::accessRecordFor(message, context, true)) {
            checkJSONLine(*line);
        }
    } catch (const foundation::JSONEncoder::EncodingError&) {
        // A record that writes nothing is refused, as it should be.
    }
}

using nlohmann::json;
using simdjson::dom::element;
using Type = simdjson::dom::element_type;

// Whether the line's value is the one the general parser reads: of the same type, an integer
// where that is one and a real where it is not, and the same value; of a repeated name the
// last member counts.
bool same(const json& expected, element value) {
    switch (value.type()) {
    case Type::NULL_VALUE:
        return expected.is_null();
    case Type::BOOL:
        return expected.is_boolean() && expected.get<bool>() == value.get_bool().value_unsafe();
    case Type::STRING:
        return expected.is_string() &&
               expected.get_ref<const std::string&>() == value.get_string().value_unsafe();
    case Type::INT64: {
        const int64_t number = value.get_int64().value_unsafe();
        return expected.is_number_integer() && expected.get<int64_t>() == number &&
               (number >= 0 || !expected.is_number_unsigned());
    }
    case Type::UINT64:
        return expected.is_number_unsigned() &&
               expected.get<uint64_t>() == value.get_uint64().value_unsafe();
    case Type::DOUBLE: {
        const double number = value.get_double().value_unsafe();
        return expected.is_number_float() && expected.get<double>() == number &&
               std::signbit(expected.get<double>()) == std::signbit(number);
    }
    case Type::ARRAY: {
        const simdjson::dom::array items = value.get_array().value_unsafe();
        if (!expected.is_array() || expected.size() != items.size()) {
            return false;
        }
        size_t index = 0;
        return std::all_of(items.begin(), items.end(),
                           [&](element item) { return same(expected[index++], item); });
    }
    case Type::OBJECT: {
        const simdjson::dom::object object = value.get_object().value_unsafe();
        std::map<std::string_view, element> members;
        for (const auto& [name, member] : object) {
            members.insert_or_assign(name, member);
        }
        return expected.is_object() && expected.size() == members.size() &&
               std::all_of(members.begin(), members.end(), [&](const auto& member) {
                   const auto found = expected.find(member.first);
                   return found != expected.end() && same(*found, member.second);
               });
    }
    }
    return false;
}

void checkDocument(endpoint_security::LineParser& parser, std::string_view line) {
    const auto root = parser.parsePadded(line);
    require(root.has_value() == json::accept(line));
    if (root) {
        require(same(json::parse(line), *root));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    endpoint_security::MessageDecoder decoder;
    endpoint_security::LineParser parser;
    // The input with the padding behind it, once, as the stream's reader keeps it: each line is
    // read where it lies, followed by the lines after it.
    std::string buffer(reinterpret_cast<const char*>(data), size);
    buffer.resize(size + endpoint_security::MessageDecoder::linePadding);
    std::string_view input = std::string_view(buffer).substr(0, size);
    while (!input.empty()) {
        const size_t end = input.find('\n');
        const std::string_view line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
        // The record writer escapes any bytes exactly as the general encoder does.
        require(records::JSONLine(0).string(line).take() ==
                foundation::JSONEncoder().encode(nlohmann::json(std::string(line))));
        checkDocument(parser, line);
        auto decoded = decoder.decodePadded(line);
        if (decoded.message) {
            handle(decoded.message->message());
        }
    }
    return 0;
}
