#pragma once

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>

namespace vorla::foundation {

// Encodes values as compact JSON with the keys of every object in byte order, "/" written as
// "\/", control characters escaped and invalid UTF-8 replaced by U+FFFD, so that any value
// becomes exactly one line of valid JSON. Unsigned 64-bit numbers keep their unsigned value.
class JSONEncoder {
public:
    // Thrown for a value that encodes nothing: null, or an object without a single key.
    class EncodingError : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;

        // The error for a value that encodes nothing.
        static EncodingError nothingEncoded();
    };

    std::string encode(const nlohmann::json& value) const;
};

} // namespace vorla::foundation
