#include "platform/foundation/FileHandle.hpp"

#include "platform/foundation/Folder.hpp"
#include "platform/foundation/FoundationError.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vorla::foundation {

namespace {

constexpr const char* openForWriting = "could not open for writing";
constexpr const char* openForReading = "could not open for reading";

} // namespace

FileHandle FileHandle::forWritingTo(const URL& url) {
    std::string path = systemPath(url.toPath(), openForWriting);
    return FileHandle(openRegularFile(AT_FDCWD, path, O_WRONLY | O_APPEND, 0, LastLink::refuse,
                                      path, openForWriting),
                      path);
}

FileHandle FileHandle::forWritingTo(const Folder& folder, std::string_view name) {
    std::string path = folder.pathOf(name);
    return FileHandle(openRegularFile(folder.descriptor(), systemPath(name, openForWriting),
                                      O_WRONLY | O_APPEND, 0, LastLink::refuse, path,
                                      openForWriting),
                      path);
}

FileHandle FileHandle::forReadingFrom(const Folder& folder, std::string_view name) {
    std::string path = folder.pathOf(name);
    return FileHandle(openRegularFile(folder.descriptor(), systemPath(name, openForReading),
                                      O_RDONLY, 0, LastLink::refuse, path, openForReading),
                      path);
}

FileHandle::FileHandle(OpenedFile file, std::string path)
    : descriptor_(std::move(file.descriptor)), attributes_(file.attributes),
      path_(std::move(path)) {}

std::uint64_t FileHandle::seekToEnd() {
    const off_t offset = ::lseek(descriptor_.get(), 0, SEEK_END);
    if (offset < 0) {
        throwSystemError("could not seek to the end of", path_);
    }
    return static_cast<std::uint64_t>(offset);
}

void FileHandle::truncate(std::uint64_t length) {
    if (::ftruncate(descriptor_.get(), static_cast<off_t>(length)) != 0) {
        throwSystemError("could not truncate", path_);
    }
    attributes_.size = length;
}

void FileHandle::writeCounting(std::string_view bytes, std::size_t& written) {
    while (written < bytes.size()) {
        const ssize_t count =
            ::write(descriptor_.get(), bytes.data() + written, bytes.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwSystemError("could not write to", path_);
        }
        written += static_cast<std::size_t>(count);
        attributes_.size += static_cast<std::uint64_t>(count);
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

std::size_t FileHandle::read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t count = ::read(descriptor_.get(), buffer, size);
        if (count >= 0) {
            return static_cast<std::size_t>(count);
        }
        if (errno != EINTR) {
            throwSystemError("could not read", path_);
        }
    }
}

std::size_t FileHandle::readAt(char* buffer, std::size_t size, std::uint64_t offset) {
    for (;;) {
        const ssize_t count = ::pread(descriptor_.get(), buffer, size, static_cast<off_t>(offset));
        if (count >= 0) {
            return static_cast<std::size_t>(count);
        }
        if (errno != EINTR) {
            throwSystemError("could not read", path_);
        }
    }
}

void FileHandle::setModificationDate(Date date) {
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::nanoseconds>(date.time_since_epoch());
    const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    const struct timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(seconds.count()), static_cast<long>((sinceEpoch - seconds).count())}};
    if (::futimens(descriptor_.get(), times) != 0) {
        throwSystemError("could not set the modification date of", path_);
    }
}

void FileHandle::synchronize() {
    if (::fsync(descriptor_.get()) != 0) {
        throwSystemError("could not synchronize", path_);
    }
}

void FileHandle::close() {
    if (descriptor_.get() < 0) {
        return;
    }
    // The descriptor is gone after close() whatever it reports, so it is never closed twice.
    const int result = ::close(descriptor_.release());
    if (result != 0 && errno != EINTR) {
        throwSystemError("could not close", path_);
    }
}

} // namespace vorla::foundation
