#pragma once

#include "platform/foundation/FileAttributes.hpp"
#include "platform/foundation/FoundationError.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorla::foundation {

// What the extension, running as root, may rely on: an object that nobody but root could have
// placed or can change. That is an object owned by root, or by the user this process runs as
// (so that a run by a user, such as the tests', works as root's does), which neither its group
// nor others may write. A folder so owned with the sticky bit (such as /tmp) is the exception:
// others may add entries to it but never rename or remove ours, and each entry must pass the
// rule itself. A symbolic link is followed only when so owned; its own mode means nothing.
bool isTrustedOwner(std::uint32_t owner);
inline constexpr std::uint16_t groupOrOtherWrite = 0022;
// Why the object at `path` cannot be trusted ("<path> is owned by user 65534"), or nothing
// when it can. `permittedWriteBits` are group and other write bits that its maker gave it on
// purpose (a log created with such a permission text), which are then no reason.
std::optional<std::string> untrustedReason(const FileAttributes& status, std::string_view path,
                                           std::uint16_t permittedWriteBits = 0);

// Permission bits as a message shows them: "0755".
std::string octalPermissions(std::uint16_t bits);

// An object that failed the rule; what() is the reason.
class UntrustedError : public FoundationError {
public:
    explicit UntrustedError(const std::string& reason) : FoundationError(reason, EPERM) {}
};

} // namespace vorla::foundation
