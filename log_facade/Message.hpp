#pragma once

#include <string>

namespace vorla::logging {

// The text of one record. Made implicitly from a string, so a literal can be passed wherever a
// message is expected.
struct Message {
    Message(std::string text) : value(std::move(text)) {}
    Message(const char* text) : value(text) {}

    const std::string& description() const { return value; }

    friend bool operator==(const Message&, const Message&) = default;

    std::string value;
};

} // namespace vorla::logging
