#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace vorla {

// Replaces the file at `path` with `contents` as one step: the text goes to a temporary file in
// the same folder, is synchronised to storage and then renamed over the old file, so a reader
// sees the whole old file or the whole new one, never a part. The new file gets `permissions`.
// Throws std::runtime_error with the failing step, the path and the system's reason; nothing
// is left behind on failure.
void writeFileAtomically(const std::string& path, std::string_view contents, mode_t permissions);

} // namespace vorla
