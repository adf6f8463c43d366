#pragma once

#include "platform/foundation/FileHandle.hpp"

#include <cstdint>

namespace vorla {

// Where the last whole line of the file's first `size` bytes ends: just after its last CR LF,
// or 0 when it holds none. A file whose last bytes are CR LF ends there.
std::uint64_t endOfLastLine(foundation::FileHandle& reader, std::uint64_t size);

} // namespace vorla
