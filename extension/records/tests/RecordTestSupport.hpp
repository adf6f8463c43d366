#pragma once

#include "extension/records/RecordContext.hpp"
#include "platform/endpoint_security/tests/StreamMessage.hpp"

#include <map>
#include <string>

namespace vorla::records::testing {

// A clock that stands still at 2024-05-01T10:00:00.000Z.
inline constexpr const char* fixedTimestamp = "2024-05-01T10:00:00.000Z";

inline foundation::Date fixedNow() {
    return foundation::Date(std::chrono::seconds(1714557600));
}

// Fixed names for the ids of the fixtures, each unknown to the other database, so that a user
// looked up as a group (or the reverse) reads "" instead of a name; the system databases have
// their own tests.
inline UserNameCache& userNames() {
    static const auto lookup = [](std::map<std::uint32_t, std::string> names) {
        return [names = std::move(names)](std::uint32_t id) {
            const auto found = names.find(id);
            return found == names.end() ? std::string() : found->second;
        };
    };
    static UserNameCache names(lookup({{0, "root"}, {501, "alice"}, {502, "bob"}, {503, "carol"}}),
                               lookup({{0, "wheel"}, {20, "staff"}, {21, "admin"}}),
                               std::chrono::steady_clock::now);
    return names;
}

inline RecordContext context() {
    return {userNames(), fixedNow};
}

using endpoint_security::testing::message;

} // namespace vorla::records::testing
