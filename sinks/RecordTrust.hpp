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

// What the sink may do with the entry that stands at a name it needs (the log's own).
enum class EntryVerdict {
    // A record the sink may write.
    usable,
    // Another user's entry of any kind, or root's regular file that fails the rule: moved
    // aside, never destroyed, so that the name serves the log again.
    setAside,
    // Root's (or this user's) object that is no regular file: a device, FIFO, socket, folder or
    // link that an administrator put there on purpose. It is never moved, replaced or written.
    leaveAlone,
};

struct EntryJudgement {
    EntryVerdict verdict;
    // Why the entry is not usable; empty when it is.
    std::string reason;
    foundation::ObjectKind kind;
};

EntryJudgement judgeEntry(const foundation::FileAttributes& attributes, const std::string& path,
                          std::uint16_t permissionBits);

} // namespace vorla
