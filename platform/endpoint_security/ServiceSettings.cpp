#include "platform/endpoint_security/ServiceSettings.hpp"

#include "platform/dispatch/Dispatch.hpp"
#include "platform/environment/Environment.hpp"

#include <charconv>
#include <iostream>

namespace vorla::endpoint_security {

namespace {

uint32_t resultFromEnvironment(std::string_view name) {
    const auto text = platform::environmentValue(name);
    if (!text) {
        return 0;
    }
    uint32_t value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || stop != end) {
        std::cerr << name << ": \"" << *text
                  << "\" is not a number from 0 to 4294967295; using 0\n";
        return 0;
    }
    return value;
}

} // namespace

ServiceSettings ServiceSettings::fromEnvironment() {
    ServiceSettings settings;
    settings.source = platform::environmentValue("VORLA_ES_SOURCE");
    settings.trace = platform::environmentValue("VORLA_ES_TRACE");
    settings.newClientResult = resultFromEnvironment("VORLA_ES_NEW_CLIENT_RESULT");
    settings.subscribeResult = resultFromEnvironment("VORLA_ES_SUBSCRIBE_RESULT");
    settings.streamEnded = [] { dispatch::requestStop(); };
    return settings;
}

} // namespace vorla::endpoint_security
