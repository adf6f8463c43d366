#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vorla::foundation {

// A random (version 4) UUID.
class UUID {
public:
    UUID();

    // The canonical 8-4-4-4-12 form, lower case.
    std::string uuidString() const;

private:
    std::array<std::uint8_t, 16> bytes_{};
};

} // namespace vorla::foundation
