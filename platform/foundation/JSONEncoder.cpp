#include "platform/foundation/JSONEncoder.hpp"

namespace vorla::foundation {

std::string JSONEncoder::encode(const nlohmann::json& value) const {
    if (value.is_null() || (value.is_object() && value.empty())) {
        throw EncodingError("invalid value: the top-level value did not encode any values");
    }
    // nlohmann::json keeps objects in a std::map of std::string, whose order is byte order.
    const std::string compact =
        value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    // Outside strings compact JSON holds no "/", so every slash belongs to a string.
    std::string text;
    text.reserve(compact.size() + compact.size() / 16);
    for (const char c : compact) {
        if (c == '/') {
            text += "\\/";
        } else {
            text += c;
        }
    }
    return text;
}

} // namespace vorla::foundation
