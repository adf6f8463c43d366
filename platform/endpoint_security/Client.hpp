#pragma once

#include "platform/endpoint_security/EndpointSecurity.h"
#include "platform/endpoint_security/ServiceSettings.hpp"

namespace vorla::endpoint_security {

// es_new_client with explicit settings instead of those of the environment.
es_new_client_result_t newClient(es_client_t** client, es_handler_block_t handler,
                                 ServiceSettings settings);

} // namespace vorla::endpoint_security
