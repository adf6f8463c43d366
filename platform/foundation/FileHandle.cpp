#include "platform/foundation/FileHandle.hpp"

#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/RegularFile.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace vorla::foundation {

FileHandle FileHandle::forWritingTo(const URL& url) {
    constexpr const char* operation = "could not open for writing";
    std::string path = systemPath(url.toPath(), operation);
    const OpenedFile file =
        openRegularFile(path, O_WRONLY | O_APPEND, 0, LastLink::refuse, operation);
    return FileHandle(file.descriptor, file.size, std::move(path));
}

FileHandle::FileHandle(int descriptor, std::uint64_t size, std::string path)
    : descriptor_(descriptor), size_(size), path_(std::move(path)) {}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), size_(other.size_),
      path_(std::move(other.path_)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
        descriptor_ = std::exchange(other.descriptor_, -1);
        size_ = other.size_;
        path_ = std::move(other.path_);
    }
    return *this;
}

FileHandle::~FileHandle() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::uint64_t FileHandle::seekToEnd() {
    const off_t offset = ::lseek(descriptor_, 0, SEEK_END);
    if (offset < 0) {
        throwSystemError("could not seek to the end of", path_);
    }
    return static_cast<std::uint64_t>(offset);
}

void FileHandle::truncate(std::uint64_t length) {
    if (::ftruncate(descriptor_, static_cast<off_t>(length)) != 0) {
        throwSystemError("could not truncate", path_);
    }
    size_ = length;
}

void FileHandle::writeCounting(std::string_view bytes, std::size_t& written) {
    while (written < bytes.size()) {
        const ssize_t count = ::write(descriptor_, bytes.data() + written, bytes.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwSystemError("could not write to", path_);
        }
        written += static_cast<std::size_t>(count);
        size_ += static_cast<std::uint64_t>(count);
    }
}

void FileHandle::write(std::string_view bytes) {
    std::size_t written = 0;
    writeCounting(bytes, written);
}

void FileHandle::append(std::string_view bytes) {
    std::size_t written = 0;
    try {
        writeCounting(bytes, written);
    } catch (const FoundationError&) {
        // The end is only looked up on failure: appending needs no position of its own.
        if (written > 0) {
            try {
                truncate(seekToEnd() - written);
            } catch (const FoundationError&) {
            }
        }
        throw;
    }
}

void FileHandle::synchronize() {
    if (::fsync(descriptor_) != 0) {
        throwSystemError("could not synchronize", path_);
    }
}

void FileHandle::close() {
    if (descriptor_ < 0) {
        return;
    }
    // The descriptor is gone after close() whatever it reports, so it is never closed twice.
    const int result = ::close(std::exchange(descriptor_, -1));
    if (result != 0 && errno != EINTR) {
        throwSystemError("could not close", path_);
    }
}

} // namespace vorla::foundation
