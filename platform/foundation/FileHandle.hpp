#pragma once

#include "platform/foundation/URL.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorla::foundation {

// An open file descriptor that is closed when the handle goes away. Every failing operation
// throws FoundationError.
class FileHandle {
public:
    // Opens an existing regular file for writing; it is neither created nor truncated. Every
    // write lands at the end of the file, wherever other writers have taken it meanwhile. A
    // symbolic link, FIFO, device or folder at the path is refused, never written through.
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
    // Writes every byte at the end; when that fails part-way, the bytes that did get written
    // are cut off again before the error is thrown, so the file never ends in half a record.
    void append(std::string_view bytes);
    // The file's size: its size when opened plus what this handle wrote since. The logs have
    // one writer, so this is the size a stat would give, without asking the system again.
    std::uint64_t size() const { return size_; }
    // fsync.
    void synchronize();
    void close();

private:
    FileHandle(int descriptor, std::uint64_t size, std::string path);
    // Writes from `written` on, counting what gets written, until every byte is out or a write
    // fails.
    void writeCounting(std::string_view bytes, std::size_t& written);

    int descriptor_ = -1;
    std::uint64_t size_ = 0;
    std::string path_;
};

} // namespace vorla::foundation
