#include "platform/foundation/Trust.hpp"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace vorla::foundation {

std::string octalPermissions(std::uint16_t bits) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(bits));
    return text;
}

bool isTrustedOwner(std::uint32_t owner) {
    // The process never changes its user; asking once spares a call for every entry of a
    // folder that another user filled.
    static const uid_t self = ::geteuid();
    return owner == 0 || owner == self;
}

std::optional<std::string> untrustedReason(const FileAttributes& status, std::string_view path,
                                           std::uint16_t permittedWriteBits) {
    const std::string name(path);
    if (!isTrustedOwner(status.owner)) {
        return name + (status.kind == ObjectKind::symbolicLink ? " is a symbolic link" : " is") +
               " owned by user " + std::to_string(status.owner);
    }
    if (status.kind == ObjectKind::symbolicLink) {
        return std::nullopt;
    }
    const bool sticky = (status.posixPermissions & S_ISVTX) != 0;
    if (status.kind == ObjectKind::folder && sticky) {
        return std::nullopt;
    }
    if ((status.posixPermissions & groupOrOtherWrite & ~permittedWriteBits) != 0) {
        return name + " is writable by group or others (mode " +
               octalPermissions(status.posixPermissions) + ")";
    }
    return std::nullopt;
}

} // namespace vorla::foundation
