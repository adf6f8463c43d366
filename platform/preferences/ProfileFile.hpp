#pragma once

#include <optional>
#include <string>

namespace vorla::preferences {

// The bytes of the profile at `path`, or none when it is no regular file, fails the trust rule
// (it or a folder above it; a link is followed only when trusted), cannot be read, or holds
// more than `maximumPropertyListSize` bytes. Never blocks: a FIFO or device planted at the
// path is refused without being read.
std::optional<std::string> profileBytes(const std::string& path);

} // namespace vorla::preferences
