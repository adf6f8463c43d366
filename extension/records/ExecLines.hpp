#pragma once

#include "extension/records/RecordContext.hpp"
#include "platform/endpoint_security/EndpointSecurity.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::records {

// The line of the "json" audit format, {"log": {...}, "timestamp": start time}, written
// straight in its sorted key order; valid UTF-8 whatever the message holds.
std::string execRecord(const es_message_t& message, const RecordContext& context);

// The EXECVE and SYSCALL records of the Linux audit system for an execution, joined by one
// line feed. Values that are not plain printable ASCII are written as upper-case hex of their
// bytes, as the audit system writes untrusted strings, so no value can forge a field or line.
std::string formatExecAuditd(const es_message_t& message);

// A template of text and "${key}" blocks, read once: each block of a key given is found in one
// pass over the text and later filled with that key's value. Blocks of other keys, and of a
// key that has no value in a line, stay as text; values are never searched for blocks.
class LineTemplate {
public:
    // The keys hold no "${" and no "}".
    LineTemplate(std::string_view format, std::span<const std::string_view> keys);

    // Whether a block names keys[key].
    bool uses(size_t key) const { return key < used_.size() && used_[key]; }

    // values[i] is the value of keys[i], or none.
    std::string fill(std::span<const std::optional<std::string>> values) const;

private:
    // The text before a block and the index of the block's key; the last piece has no block.
    struct Piece {
        std::string text;
        size_t key;
    };
    static constexpr size_t noKey = SIZE_MAX;

    std::vector<std::string> keys_;
    std::vector<Piece> pieces_;
    std::vector<bool> used_;
    size_t textSize_ = 0;
};

// The template of the "custom" audit format, read once per configuration.
class CustomTemplate {
public:
    explicit CustomTemplate(std::string_view customLogFormat);

    // The template with every block of a key the execution has replaced by its value.
    std::string line(const es_message_t& message, const RecordContext& context) const;

private:
    LineTemplate template_;
};

} // namespace vorla::records
