#include "platform/foundation/JSONEncoder.hpp"

#include <algorithm>

namespace vorla::foundation {

JSONEncoder::EncodingError JSONEncoder::EncodingError::nothingEncoded() {
    return EncodingError("invalid value: the top-level value did not encode any values");
}

std::string JSONEncoder::encode(const nlohmann::json& value) const {
    if (value.is_null() || (value.is_object() && value.empty())) {
        throw EncodingError::nothingEncoded();
    }
    // nlohmann::json keeps objects in a std::map of std::string, whose order is byte order.
    std::string compact = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    // Outside strings compact JSON holds no "/", so every slash belongs to a string. Most lines
    // hold a few paths: copy the runs between slashes whole into an output of the exact size.
    const auto slashes = static_cast<size_t>(std::count(compact.begin(), compact.end(), '/'));
    if (slashes == 0) {
        return compact;
    }
    std::string text;
    text.reserve(compact.size() + slashes);
    size_t from = 0;
    for (size_t slash = 0; (slash = compact.find('/', from)) != std::string::npos;
         from = slash + 1) {
        text.append(compact, from, slash - from).append("\\/");
    }
    text.append(compact, from);
    return text;
}

} // namespace vorla::foundation
