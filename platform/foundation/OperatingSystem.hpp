#pragma once

namespace vorla::foundation {

// Whether the operating system is at least the given version. The version is that of
// VORLA_OS_VERSION ("major.minor.patch", missing parts 0), "14.0.0" when unset or unreadable.
bool isOperatingSystemAtLeast(int major, int minor, int patch);

} // namespace vorla::foundation
