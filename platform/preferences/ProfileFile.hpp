#pragma once

#include <optional>
#include <string>

namespace vorla::preferences {

// The bytes of the profile at `path`, or none when it is no regular file (a link to one is
// followed), cannot be read, or holds more than `maximumPropertyListSize` bytes. Never blocks:
// a FIFO or device planted at the path is refused without being read.
std::optional<std::string> profileBytes(const std::string& path);

} // namespace vorla::preferences
