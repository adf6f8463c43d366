#include "platform/endpoint_security/EndpointSecurity.h"

// An index past the end yields an empty token rather than memory beyond the list.
extern "C" {

uint32_t es_exec_arg_count(const es_event_exec_t* event) {
    return event ? event->reserved_arg_count : 0;
}

es_string_token_t es_exec_arg(const es_event_exec_t* event, uint32_t index) {
    if (!event || !event->reserved_args || index >= event->reserved_arg_count) {
        return {};
    }
    return event->reserved_args[index];
}

uint32_t es_exec_env_count(const es_event_exec_t* event) {
    return event ? event->reserved_env_count : 0;
}

es_string_token_t es_exec_env(const es_event_exec_t* event, uint32_t index) {
    if (!event || !event->reserved_env || index >= event->reserved_env_count) {
        return {};
    }
    return event->reserved_env[index];
}
}
