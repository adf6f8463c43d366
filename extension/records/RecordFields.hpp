#pragma once

#include "extension/records/Enumerations.hpp"
#include "extension/records/JSONLine.hpp"
#include "extension/records/RecordText.hpp"

#include <optional>
#include <string_view>

namespace vorla::records {

// The treatments of absent text: the member left out, null, or the empty string.

inline void writeIfPresent(JSONLine& line, std::string_view key,
                           std::optional<std::string_view> bytes) {
    if (bytes) {
        line.key(key).string(*bytes);
    }
}

inline void writeOrNull(JSONLine& line, std::string_view key,
                        std::optional<std::string_view> bytes) {
    line.key(key);
    if (bytes) {
        line.string(*bytes);
    } else {
        line.null();
    }
}

inline std::string_view bytesOrEmpty(const es_string_token_t& token) {
    return tokenView(token).value_or("");
}

// The address of a remote peer and its kind, two members next to each other in byte order.
inline void writeSourceAddress(JSONLine& line, const es_string_token_t& address,
                               es_address_type_t type) {
    line.key("source_address").string(bytesOrEmpty(address));
    line.key("source_address_type").string(toString(sourceAddrTypeFromValue(type)));
}

// A payload pointer that is not set reads as a payload of defaults.
template <typename Payload> const Payload& orDefault(const Payload* payload) {
    static const Payload none{};
    return payload ? *payload : none;
}

} // namespace vorla::records
