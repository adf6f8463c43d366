#pragma once

#include "extension/records/RecordText.hpp"

#include <nlohmann/json.hpp>

namespace vorla::records {

// The treatments of absent text: the key left out, or the empty string.

inline void putText(nlohmann::json& fields, const char* key, const es_string_token_t& token) {
    if (auto value = text(token)) {
        fields[key] = std::move(*value);
    }
}

inline void putPath(nlohmann::json& fields, const char* key, const es_file_t* file) {
    if (auto value = pathText(file)) {
        fields[key] = std::move(*value);
    }
}

inline std::string textOrEmpty(const es_string_token_t& token) {
    return text(token).value_or("");
}

// A payload pointer that is not set reads as a payload of defaults.
template <typename Payload> const Payload& orDefault(const Payload* payload) {
    static const Payload none{};
    return payload ? *payload : none;
}

} // namespace vorla::records
