#pragma once

#include "platform/foundation/URL.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace vorla::foundation {

// An open file descriptor that is closed when the handle goes away. Every failing operation
// throws FoundationError.
class FileHandle {
public:
    // Opens an existing file for writing; it is neither created nor truncated.
    static FileHandle forWritingTo(const URL& url);

    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    // Moves to the end and returns that offset.
    std::uint64_t seekToEnd();
    // Cuts the file back to the length, to undo a write that failed half-way.
    void truncate(std::uint64_t length);
    // Writes every byte, resuming after partial writes and interruptions.
    void write(std::string_view bytes);
    // fsync.
    void synchronize();
    void close();

private:
    FileHandle(int descriptor, std::string path);

    int descriptor_ = -1;
    std::string path_;
};

} // namespace vorla::foundation
