#pragma once

#include "extension/config/YamlDecoding.hpp"
#include "extension/config/YamlNode.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::extension {

// A target path whose events the Endpoint Security service is asked to mute.
struct MutePath {
    // The Endpoint Security mute type is the case's index plus 2.
    enum class type { prefix, literal };

    std::string path;
    enum type type = type::prefix;

    static std::string_view toString(enum type value);
    // The case whose raw string is exactly `raw`, case included.
    static std::optional<enum type> fromString(std::string_view raw);

    friend bool operator==(const MutePath&, const MutePath&) = default;
};

// Which target paths are muted, and whether the muting is inverted.
class Muting {
public:
    bool inverted = false;
    std::vector<MutePath> targets;

    void decode(const YamlKeyedContainer& container);
    void encode(YamlNode& mapping) const;

    friend bool operator==(const Muting&, const Muting&) = default;
};

} // namespace vorla::extension
