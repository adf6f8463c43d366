#include "platform/foundation/OperatingSystem.hpp"

#include "platform/environment/Environment.hpp"

#include <array>
#include <charconv>
#include <string>
#include <tuple>

namespace vorla::foundation {

namespace {

using Version = std::array<int, 3>;

std::optional<Version> parseVersion(std::string_view text) {
    Version version{0, 0, 0};
    for (std::size_t part = 0; part < version.size() && !text.empty(); ++part) {
        const auto [end, error] =
            std::from_chars(text.data(), text.data() + text.size(), version[part]);
        if (error != std::errc() || version[part] < 0) {
            return std::nullopt;
        }
        text.remove_prefix(static_cast<std::size_t>(end - text.data()));
        if (!text.empty()) {
            if (text.front() != '.' || part + 1 == version.size()) {
                return std::nullopt;
            }
            text.remove_prefix(1);
        }
    }
    return version;
}

} // namespace

bool isOperatingSystemAtLeast(int major, int minor, int patch) {
    static constexpr Version fallback{14, 0, 0};
    const auto configured = platform::environmentValue("VORLA_OS_VERSION");
    const Version current = configured ? parseVersion(*configured).value_or(fallback) : fallback;
    return current >= Version{major, minor, patch};
}

} // namespace vorla::foundation
