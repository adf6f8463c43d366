#pragma once

#include "platform/foundation/FileAttributes.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace vorla {

// Why a file of a log's folder is not one the sink may append to, rename, compress or remove,
// or nothing when it is: it must be a regular file with one name (another name would be a
// door into it from elsewhere) that passes the trust rule, group and other write bits
// excepted where the log's own permission bits give them.
std::optional<std::string> untrustedRecordReason(const foundation::FileAttributes& attributes,
                                                 const std::string& path,
                                                 std::uint16_t permissionBits);

} // namespace vorla
