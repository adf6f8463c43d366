#include "sinks/RecordTrust.hpp"

#include "platform/foundation/Trust.hpp"

namespace vorla {

namespace {

std::string kindText(foundation::ObjectKind kind) {
    switch (kind) {
    case foundation::ObjectKind::symbolicLink:
        return "a symbolic link";
    case foundation::ObjectKind::folder:
        return "a folder";
    default:
        return "not a regular file";
    }
}

} // namespace

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

EntryJudgement judgeEntry(const foundation::FileAttributes& attributes, const std::string& path,
                          std::uint16_t permissionBits) {
    if (!foundation::isTrustedOwner(attributes.owner)) {
        return {EntryVerdict::setAside,
                foundation::untrustedReason(attributes, path, permissionBits).value_or(path),
                attributes.kind};
    }
    if (!attributes.isRegularFile()) {
        return {EntryVerdict::leaveAlone,
                path + " is " + kindText(attributes.kind) + " of user " +
                    std::to_string(attributes.owner) + ", which is left as it is",
                attributes.kind};
    }
    if (auto reason = untrustedRecordReason(attributes, path, permissionBits)) {
        return {EntryVerdict::setAside, std::move(*reason), attributes.kind};
    }
    return {EntryVerdict::usable, {}, attributes.kind};
}

} // namespace vorla
