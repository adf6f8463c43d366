#pragma once

#include "platform/foundation/RegularFile.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorla::foundation {

// An open folder that passed the trust rule (Trust.hpp), as did every folder from "/" down to
// it. Work inside it goes through its descriptor (openat and kin), so nothing can be swapped
// between the check and the use.
class Folder {
public:
    struct Options {
        // Missing folders are made, 0755 whatever the umask, each synchronised in its parent.
        bool create = false;
        // The folder itself, when its owner is trusted but its group or others may write it,
        // loses those bits instead of being refused; parents are never changed.
        bool tightenLast = false;
    };

    // Walks the absolute path from "/", checking each component; a symbolic link on the way is
    // followed only when its owner is trusted. Throws UntrustedError when a component fails the
    // rule, FoundationError (ENOENT without `create`, ENOTDIR, ...) when it cannot be opened.
    static Folder open(std::string_view path, Options options);

    Folder(Folder&&) noexcept = default;
    Folder& operator=(Folder&&) noexcept = default;

    int descriptor() const { return descriptor_.get(); }
    // The path the folder was reached by, links resolved; for messages.
    const std::string& path() const { return path_; }
    std::string pathOf(std::string_view name) const;
    // The mode the folder had when open() tightened it, or nothing when it did not.
    std::optional<std::uint16_t> tightenedFrom() const { return tightenedFrom_; }
    // Whether the folder has been removed since it was opened: nothing can be made in it.
    bool isRemoved() const;

private:
    Folder(Descriptor descriptor, std::string path, std::optional<std::uint16_t> tightenedFrom);

    Descriptor descriptor_;
    std::string path_;
    std::optional<std::uint16_t> tightenedFrom_;
};

// Opens the file at `path` for reading, its folders walked as Folder::open does and a link at
// its end followed only when trusted. The file must be a regular file that passes the rule.
// Never blocks on a FIFO or device. Throws UntrustedError, or FoundationError (ENOENT when
// nothing is there).
OpenedFile openTrustedFile(std::string_view path);

} // namespace vorla::foundation
