#include "platform/foundation/FileAttributes.hpp"

#include <chrono>
#include <sys/stat.h>

namespace vorla::foundation {

namespace {

ObjectKind kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return ObjectKind::folder;
    }
    if (S_ISREG(mode)) {
        return ObjectKind::regularFile;
    }
    return S_ISLNK(mode) ? ObjectKind::symbolicLink : ObjectKind::other;
}

} // namespace

FileAttributes attributesOf(const struct stat& status) {
    const auto time = std::chrono::seconds(status.st_mtim.tv_sec) +
                      std::chrono::nanoseconds(status.st_mtim.tv_nsec);
    return {static_cast<std::uint64_t>(status.st_size),
            Date(std::chrono::duration_cast<Date::duration>(time)),
            kindOf(status.st_mode),
            static_cast<std::uint32_t>(status.st_uid),
            static_cast<std::uint16_t>(status.st_mode & 07777),
            static_cast<std::uint64_t>(status.st_nlink),
            static_cast<std::uint64_t>(status.st_dev),
            static_cast<std::uint64_t>(status.st_ino)};
}

} // namespace vorla::foundation
