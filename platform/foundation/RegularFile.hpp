#pragma once

#include "platform/foundation/FileAttributes.hpp"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>

namespace vorla::foundation {

// Closes a descriptor when the scope ends.
class Descriptor {
public:
    explicit Descriptor(int descriptor = -1) : descriptor_(descriptor) {}
    Descriptor(Descriptor&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();
    int get() const { return descriptor_; }
    // Hands the descriptor over; this object no longer closes it.
    int release() { return std::exchange(descriptor_, -1); }

private:
    int descriptor_;
};

// Whether a link in the last component of a path may be followed.
enum class LastLink { follow, refuse };

struct OpenedFile {
    Descriptor descriptor;
    // What fstat said of the file that was opened.
    FileAttributes attributes;
};

// Opens `name` in the folder open as `folder` (AT_FDCWD: `name` is a path) and makes sure a
// regular file is what was opened; anything else (a folder, a FIFO, a device, a socket, and
// with `refuse` a symbolic link) is closed again at once and refused with FoundationError,
// whose text names `shownPath`. The open never blocks on a FIFO or a device, so an object an
// attacker placed at the path can neither hang the caller nor be written through. The
// descriptor is opened with close-on-exec and without taking a controlling terminal.
OpenedFile openRegularFile(int folder, const std::string& name, int flags, mode_t mode,
                           LastLink lastLink, const std::string& shownPath, const char* operation);

// Reads the open file to its end; a file that holds more than `sizeLimit` bytes, or keeps
// growing past it, is refused (EFBIG) as the bytes come, so memory stays bounded.
std::string readToEnd(int descriptor, const std::string& shownPath,
                      std::uint64_t sizeLimit = std::numeric_limits<std::uint64_t>::max());

// The path as the system takes it. A zero byte inside would silently cut the path short and
// send the operation elsewhere, so such a path is refused with FoundationError (EINVAL).
std::string systemPath(std::string_view path, const char* operation);

} // namespace vorla::foundation
