#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vorla::endpoint_security {

// How the service behaves: where its messages come from, where its calls are traced, what
// client creation and subscription answer, and what happens after the last message.
struct ServiceSettings {
    // The message stream; "-" is standard input; none means that no message arrives.
    std::optional<std::string> source;
    std::optional<std::string> trace;
    uint32_t newClientResult = 0;
    uint32_t subscribeResult = 0;
    // Called on the service thread once the last message of the stream has been handled.
    std::function<void()> streamEnded;

    // From VORLA_ES_SOURCE, VORLA_ES_TRACE, VORLA_ES_NEW_CLIENT_RESULT and
    // VORLA_ES_SUBSCRIBE_RESULT; the end of the stream stops the main loop, as the system
    // stops an extension.
    static ServiceSettings fromEnvironment();
};

} // namespace vorla::endpoint_security
