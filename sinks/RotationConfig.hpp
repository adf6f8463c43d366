#pragma once

#include <cstdint>

namespace vorla {

// When and how a rotating sink archives its log file.
struct RotationConfig {
    enum class SuffixExtension : std::uint8_t {
        // <log>.1 is the newest archive; older ones carry higher numbers.
        numbering = 0,
        // <log>.<yyyyMMdd'T'HHmmssZ>_<uuid>: the rotation time and a random identifier.
        date_uuid = 1,
    };

    SuffixExtension suffixExtension;
    // The largest size in bytes that the log file may have without being rotated.
    std::uint64_t maxFileSize;
    // How many archives are kept.
    std::uint8_t maxArchivedFilesCount;

    friend bool operator==(const RotationConfig&, const RotationConfig&) = default;
};

} // namespace vorla
