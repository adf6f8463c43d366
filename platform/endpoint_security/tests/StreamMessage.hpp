#pragma once

#include "platform/endpoint_security/MessageDecoder.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace vorla::endpoint_security::testing {

// A hand-written message, in the stream form that the service reads; a line the decoder
// refuses fails the test and gives an empty message.
inline DecodedMessage message(std::string_view json) {
    MessageDecoder decoder;
    auto result = decoder.decode(json);
    if (!result.message) {
        ADD_FAILURE() << result.error << " in " << json;
        return {};
    }
    return std::move(*result.message);
}

} // namespace vorla::endpoint_security::testing
