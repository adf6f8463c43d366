// Feeds arbitrary bytes, line by line, through the message-stream decoder and every record and
// execution line: nothing may crash or leak, every JSON line must read back as the general
// encoder writes it, and no line may hold more line breaks than its format has. The decoder's
// own parser must accept exactly what the general JSON parser accepts and keep the same values,
// types included, down to its depth.

#include "extension/SharedDateFormatter.hpp"
#include "extension/records/AccessEvents.hpp"
#include "extension/records/ExecLines.hpp"
#include "extension/records/JSONLine.hpp"
#include "platform/endpoint_security/LineDocument.hpp"
#include "platform/endpoint_security/MessageDecoder.hpp"
#include "platform/foundation/JSONEncoder.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

using namespace vorla;

const foundation::DateFormatter& sharedFormatter() {
    static const auto formatter = extension::makeSharedDateFormatter();
    return *formatter;
}

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
    const records::RecordContext context{sharedFormatter(), userNames};
    if (message.event_type == ES_EVENT_TYPE_NOTIFY_EXEC) {
        checkJSONLine(records::execRecord(message, context));
        require(lineBreaks(records::formatExecAuditd(message)) == 1);
        require(lineBreaks(records::formatExecCustom(
                    message,
                    "${timestamp} ${username} ${group} ${command} ${args} ${env} ${tty} "
                    "${cwd} ${script} ${exec_path} ${arch} ${ppid}",
                    context)) == 0);
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

using endpoint_security::LineDocument;
using nlohmann::json;

json asJSON(LineDocument::Value value) {
    using Kind = LineDocument::Kind;
    switch (value.kind()) {
    case Kind::null:
        return nullptr;
    case Kind::boolean:
        return value.boolean();
    case Kind::integer:
        return value.integer();
    case Kind::unsignedInteger:
        return value.unsignedInteger();
    case Kind::real:
        return value.real();
    case Kind::string:
        return std::string(value.string());
    case Kind::textList: {
        json list = json::array();
        for (size_t index = 0; index < value.size(); ++index) {
            list.push_back(std::string(value.text(index)));
        }
        return list;
    }
    case Kind::array:
    case Kind::object:
        break;
    }
    json container = value.is(Kind::object) ? json::object() : json::array();
    LineDocument::Value item = value.firstItem();
    for (size_t index = 0; index < value.size(); ++index, item = item.nextItem()) {
        if (container.is_object()) {
            const std::string name(item.string());
            item = item.nextItem();
            container[name] = asJSON(item);
        } else {
            container.push_back(asJSON(item));
        }
    }
    return container;
}

// The value with every container keptDepth levels down emptied.
json keptPart(const json& value, size_t depth = 0) {
    if (!value.is_structured()) {
        return value;
    }
    json kept = value.is_object() ? json::object() : json::array();
    if (depth < LineDocument::keptDepth) {
        for (const auto& [name, item] : value.items()) {
            if (value.is_object()) {
                kept[name] = keptPart(item, depth + 1);
            } else {
                kept.push_back(keptPart(item, depth + 1));
            }
        }
    }
    return kept;
}

// Equality that tells numbers of different types apart.
bool same(const json& left, const json& right) {
    if (left.type() != right.type() || left.size() != right.size()) {
        return false;
    }
    if (left.is_number_float()) {
        return std::signbit(left.get<double>()) == std::signbit(right.get<double>()) &&
               left == right;
    }
    if (!left.is_structured()) {
        return left == right;
    }
    for (auto item = left.begin(), other = right.begin(); item != left.end(); ++item, ++other) {
        if ((left.is_object() && item.key() != other.key()) || !same(*item, *other)) {
            return false;
        }
    }
    return true;
}

void checkDocument(std::string_view line) {
    LineDocument document;
    const bool parsed = document.parse(line);
    require(parsed == json::accept(line));
    if (parsed) {
        require(same(asJSON(document.root()), keptPart(json::parse(line))));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    endpoint_security::MessageDecoder decoder;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    while (!input.empty()) {
        const size_t end = input.find('\n');
        const std::string_view line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
        // The record writer escapes any bytes exactly as the general encoder does.
        require(records::JSONLine(0).string(line).take() ==
                foundation::JSONEncoder().encode(nlohmann::json(std::string(line))));
        checkDocument(line);
        auto decoded = decoder.decode(line);
        if (decoded.message) {
            handle(decoded.message->message());
        }
    }
    return 0;
}
