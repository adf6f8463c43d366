#include "platform/foundation/OperatingSystem.hpp"

#include "platform/environment/Environment.hpp"

#include <array>
#include <charconv>
#include <iostream>
#include <string>
#include <tuple>

namespace vorla::foundation {

namespace {

using Version = std::array<int, 3>;

// "major", "major.minor" or "major.minor.patch", each part a decimal number.
std::optional<Version> parseVersion(std::string_view text) {
    Version version{0, 0, 0};
    for (std::size_t part = 0; part < version.size(); ++part) {
        const char* end = text.data() + text.size();
        const auto [next, error] = std::from_chars(text.data(), end, version[part]);
        if (error != std::errc() || version[part] < 0) {
            return std::nullopt;
        }
        text.remove_prefix(static_cast<std::size_t>(next - text.data()));
        if (text.empty()) {
            return version;
        }
        if (text.front() != '.') {
            return std::nullopt;
        }
        text.remove_prefix(1);
    }
    return std::nullopt;
}

constexpr Version defaultVersion{14, 0, 0};

Version configuredVersion() {
    const auto configured = platform::environmentValue("VORLA_OS_VERSION");
    if (!configured) {
        return defaultVersion;
    }
    if (const auto version = parseVersion(*configured)) {
        return *version;
    }
    std::cerr << "VORLA_OS_VERSION: \"" << *configured
              << "\" is not a version (major.minor.patch); using 14.0.0\n";
    return defaultVersion;
}

} // namespace

bool isOperatingSystemAtLeast(int major, int minor, int patch) {
    // Read once, like every variable of the stand-ins, so a bad value is reported once.
    static const Version current = configuredVersion();
    return current >= Version{major, minor, patch};
}

} // namespace vorla::foundation
