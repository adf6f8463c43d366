#include "sinks/RecordTrust.hpp"

#include "platform/foundation/Trust.hpp"

namespace vorla {

std::optional<std::string> untrustedRecordReason(const foundation::FileAttributes& attributes,
                                                 const std::string& path,
                                                 std::uint16_t permissionBits) {
    if (attributes.kind == foundation::ObjectKind::symbolicLink) {
        return path + " is a symbolic link";
    }
    if (!attributes.isRegularFile()) {
        return path + " is not a regular file";
    }
    if (attributes.linkCount != 1) {
        return path + " has " + std::to_string(attributes.linkCount) + " links";
    }
    return foundation::untrustedReason(attributes, path, permissionBits);
}

} // namespace vorla
