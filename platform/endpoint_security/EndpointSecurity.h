#pragma once

// The Endpoint Security client interface: creating a client with a message handler, muting,
// subscribing, and reading an execution's arguments and environment.

#include "platform/endpoint_security/ESMessage.h"

typedef struct es_client_s es_client_t;

typedef uint32_t es_return_t;
enum {
    ES_RETURN_SUCCESS = 0,
    ES_RETURN_ERROR = 1,
};

typedef uint32_t es_new_client_result_t;
enum {
    ES_NEW_CLIENT_RESULT_SUCCESS = 0,
    ES_NEW_CLIENT_RESULT_ERR_INVALID_ARGUMENT = 1,
    ES_NEW_CLIENT_RESULT_ERR_INTERNAL = 2,
    ES_NEW_CLIENT_RESULT_ERR_NOT_ENTITLED = 3,
    ES_NEW_CLIENT_RESULT_ERR_NOT_PERMITTED = 4,
    ES_NEW_CLIENT_RESULT_ERR_NOT_PRIVILEGED = 5,
};

typedef uint32_t es_mute_inversion_type_t;
enum {
    ES_MUTE_INVERSION_TYPE_TARGET_PATH = 2,
};

typedef uint32_t es_mute_path_type_t;
enum {
    ES_MUTE_PATH_TYPE_TARGET_PREFIX = 2,
    ES_MUTE_PATH_TYPE_TARGET_LITERAL = 3,
};

#ifdef __cplusplus
#include <functional>

// The handler is a block on macOS; here it is a callable that the client keeps. Each message
// is valid only during the call.
using es_handler_block_t = std::function<void(es_client_t*, const es_message_t*)>;

// C++ linkage, since the handler is a C++ callable.
es_new_client_result_t es_new_client(es_client_t** client, es_handler_block_t handler);

extern "C" {
#endif

es_return_t es_subscribe(es_client_t* client, const es_event_type_t* events, uint32_t event_count);
es_return_t es_unmute_all_target_paths(es_client_t* client);
es_return_t es_invert_muting(es_client_t* client, es_mute_inversion_type_t mute_type);
es_return_t es_mute_path(es_client_t* client, const char* path, es_mute_path_type_t type);
es_return_t es_delete_client(es_client_t* client);

uint32_t es_exec_arg_count(const es_event_exec_t* event);
es_string_token_t es_exec_arg(const es_event_exec_t* event, uint32_t index);
uint32_t es_exec_env_count(const es_event_exec_t* event);
es_string_token_t es_exec_env(const es_event_exec_t* event, uint32_t index);

#ifdef __cplusplus
}
#endif
