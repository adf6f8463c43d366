#pragma once

#include "extension/SharedDateFormatter.hpp"
#include "extension/records/RecordContext.hpp"
#include "platform/endpoint_security/tests/StreamMessage.hpp"

namespace vorla::records::testing {

// The extension's shared formatter and a clock that stands still at 2024-05-01T10:00:00.000Z.
inline const foundation::DateFormatter& sharedFormatter() {
    static const auto formatter = makeSharedDateFormatter();
    return *formatter;
}

inline constexpr const char* fixedTimestamp = "2024-05-01T10:00:00.000Z";

inline foundation::Date fixedNow() {
    return foundation::Date(std::chrono::seconds(1714557600));
}

// The system's databases behind the cache, as the extension has them.
inline UserNameCache& userNames() {
    static UserNameCache names;
    return names;
}

inline RecordContext context() {
    return {sharedFormatter(), userNames(), fixedNow};
}

using endpoint_security::testing::message;

} // namespace vorla::records::testing
