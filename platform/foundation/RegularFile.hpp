#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace vorla::foundation {

// Whether a link in the last component of a path may be followed.
enum class LastLink { follow, refuse };

// Opens the path and makes sure a regular file is what was opened; anything else (a folder, a
// FIFO, a device, a socket, and with `refuse` a symbolic link) is closed again at once and
// refused with FoundationError. The open never blocks on a FIFO or a device, so an object an
// attacker placed at the path can neither hang the caller nor be written through. The
// descriptor is opened with close-on-exec and without taking a controlling terminal.
struct OpenedFile {
    int descriptor;
    // The file's size when it was opened, from the check that it is a regular file.
    std::uint64_t size;
};
OpenedFile openRegularFile(const std::string& path, int flags, mode_t mode, LastLink lastLink,
                           const char* operation);

// The path as the system takes it. A zero byte inside would silently cut the path short and
// send the operation elsewhere, so such a path is refused with FoundationError (EINVAL).
std::string systemPath(std::string_view path, const char* operation);

// Closes a descriptor when the scope ends.
class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();
    int get() const { return descriptor_; }

private:
    int descriptor_;
};

} // namespace vorla::foundation
