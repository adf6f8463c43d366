#pragma once

#include <stdexcept>
#include <string>

namespace vorla::logging {

// A stored value that cannot be turned back into one of our types.
class DecodingError : public std::runtime_error {
public:
    enum class Kind {
        // The stored value has the right shape but a content that no value of the type has.
        dataCorrupted,
        // The stored value is of another kind than the type is stored as.
        typeMismatch,
    };

    DecodingError(Kind kind, const std::string& description)
        : std::runtime_error(description), kind_(kind) {}

    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

} // namespace vorla::logging
