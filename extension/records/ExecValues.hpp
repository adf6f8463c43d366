#pragma once

#include "extension/records/RecordText.hpp"
#include "platform/endpoint_security/EndpointSecurity.h"
#include "platform/foundation/Date.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::records {

// The values that all three execution formats take from a message.

// Hands `visit` the bytes of every argument (es_exec_arg_count, es_exec_arg) or environment
// entry (es_exec_env_count, es_exec_env) in order, seen in place in the message (so a long
// argument list costs no copy); a token without a pointer or with a length of 0 is skipped.
using TokenCount = uint32_t (*)(const es_event_exec_t*);
using TokenAt = es_string_token_t (*)(const es_event_exec_t*, uint32_t);
template <typename Visit>
void forEachToken(const es_event_exec_t& exec, TokenCount count, TokenAt item, Visit&& visit) {
    const uint32_t total = count(&exec);
    for (uint32_t i = 0; i < total; ++i) {
        if (const auto bytes = tokenView(item(&exec, i))) {
            visit(*bytes);
        }
    }
}

// The same bytes in a list, for the formats that want the count before the items.
std::vector<std::string_view> execArguments(const es_event_exec_t& exec);
std::vector<std::string_view> execEnvironment(const es_event_exec_t& exec);

// The target's start time from message version 3 on (and whenever the message time is all
// there is without a target), else the message time.
struct ExecutionTime {
    int64_t seconds;
    foundation::Date date;
};
ExecutionTime executionTime(const es_message_t& message);

// "x86_64", "arm64" or "unknown".
std::string_view architectureName(cpu_type_t cpuType);

// The bytes of the target's tty path from message version 2 on, when present and not empty.
std::optional<std::string> execTTY(const es_message_t& message);

} // namespace vorla::records
