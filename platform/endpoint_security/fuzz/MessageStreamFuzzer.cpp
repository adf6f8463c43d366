// Feeds arbitrary bytes, line by line, through the message-stream decoder and every record and
// execution line: nothing may crash or leak, every JSON line must read back as the general
// encoder writes it, and no line may hold more line breaks than its format has.

#include "extension/SharedDateFormatter.hpp"
#include "extension/records/AccessEvents.hpp"
#include "extension/records/ExecLines.hpp"
#include "extension/records/JSONLine.hpp"
#include "platform/endpoint_security/MessageDecoder.hpp"
#include "platform/foundation/JSONEncoder.hpp"

#include <algorithm>
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
        auto decoded = decoder.decode(line);
        if (decoded.message) {
            handle(decoded.message->message());
        }
    }
    return 0;
}
