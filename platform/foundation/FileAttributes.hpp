#pragma once

#include "platform/foundation/Date.hpp"

#include <cstdint>

struct stat;

namespace vorla::foundation {

enum class ObjectKind { folder, regularFile, symbolicLink, other };

// The attributes of the item itself: a symbolic link is described, not followed.
struct FileAttributes {
    std::uint64_t size = 0;
    Date modificationDate;
    ObjectKind kind = ObjectKind::other;
    std::uint32_t owner = 0;
    std::uint16_t posixPermissions = 0;
    std::uint64_t linkCount = 1;
    // Device and inode: whether two looks saw the same file.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool isRegularFile() const { return kind == ObjectKind::regularFile; }
    bool isSameFile(const FileAttributes& other) const {
        return device == other.device && inode == other.inode;
    }
};

FileAttributes attributesOf(const struct stat& status);

} // namespace vorla::foundation
