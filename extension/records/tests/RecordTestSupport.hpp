#pragma once

#include "extension/records/RecordContext.hpp"
#include "platform/endpoint_security/MessageDecoder.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vorla::records::testing {

// The extension's shared formatter and a clock that stands still at 2024-05-01T10:00:00.000Z.
inline const foundation::DateFormatter& sharedFormatter() {
    static const foundation::DateFormatter formatter = [] {
        foundation::DateFormatter made;
        made.setLocale("en_US_POSIX");
        made.setDateFormat("yyyy-MM-dd'T'HH:mm:ss.SSSZZZZZ");
        made.setTimeZone("UTC");
        return made;
    }();
    return formatter;
}

inline constexpr const char* fixedTimestamp = "2024-05-01T10:00:00.000Z";

inline foundation::Date fixedNow() {
    return foundation::Date(std::chrono::seconds(1714557600));
}

inline RecordContext context() {
    return {sharedFormatter(), fixedNow};
}

// A hand-written message, in the stream form that the service reads.
inline endpoint_security::DecodedMessage message(const std::string& line) {
    endpoint_security::MessageDecoder decoder;
    auto result = decoder.decode(line);
    if (!result.message) {
        ADD_FAILURE() << result.error << " in " << line;
        return {};
    }
    return std::move(*result.message);
}

} // namespace vorla::records::testing
