#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorla::platform {

// The value of an environment variable of the stand-ins. Each variable is read once, at its
// first use, and the same value is returned for the rest of the process. Unset and empty are
// alike: nothing.
std::optional<std::string> environmentValue(std::string_view name);

// A fixed macOS location ("/Library/...") resolved under VORLA_ROOT, which stands for "/".
std::string systemPath(std::string_view absolutePath);

} // namespace vorla::platform
