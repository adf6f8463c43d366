#pragma once

#include "platform/foundation/Date.hpp"
#include "platform/foundation/FileAttributes.hpp"
#include "platform/foundation/RegularFile.hpp"
#include "platform/foundation/URL.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorla::foundation {

class Folder;

// An open regular file that is closed when the handle goes away. Every failing operation
// throws FoundationError.
class FileHandle {
public:
    // Opens an existing regular file for writing; it is neither created nor truncated. Every
    // write lands at the end of the file, wherever other writers have taken it meanwhile. A
    // symbolic link, FIFO, device or folder there is refused, never written through.
    static FileHandle forWritingTo(const URL& url);
    static FileHandle forWritingTo(const Folder& folder, std::string_view name);
    // Opens a regular file of the folder for reading, refusing a link or anything else as above.
    static FileHandle forReadingFrom(const Folder& folder, std::string_view name);
    // The handle of a file just opened; `path` names it in messages.
    FileHandle(OpenedFile file, std::string path);

    FileHandle(FileHandle&& other) noexcept = default;
    FileHandle& operator=(FileHandle&& other) noexcept = default;

    // What fstat said of the file when it was opened.
    const FileAttributes& attributes() const { return attributes_; }
    // The path that names the file in messages.
    const std::string& path() const { return path_; }
    // Moves to the end and returns that offset.
    std::uint64_t seekToEnd();
    // Cuts the file back to the length, to undo a write that failed half-way.
    void truncate(std::uint64_t length);
    // Writes every byte, resuming after partial writes and interruptions.
    void write(std::string_view bytes);
    // Writes every byte at the end; when that fails part-way, the bytes that did get written
    // are cut off again before the error is thrown, so the file never ends in half a record.
    void append(std::string_view bytes);
    // Reads up to `size` bytes; 0 at the end of the file.
    std::size_t read(char* buffer, std::size_t size);
    // Reads up to `size` bytes from `offset` on, wherever the handle stands.
    std::size_t readAt(char* buffer, std::size_t size, std::uint64_t offset);
    // The file's size: its size when opened plus what this handle wrote since. The logs have
    // one writer, so this is the size a stat would give, without asking the system again.
    std::uint64_t size() const { return attributes_.size; }
    void setModificationDate(Date date);
    // fsync.
    void synchronize();
    void close();

private:
    // Writes from `written` on, counting what gets written, until every byte is out or a write
    // fails.
    void writeCounting(std::string_view bytes, std::size_t& written);

    Descriptor descriptor_;
    FileAttributes attributes_;
    std::string path_;
};

} // namespace vorla::foundation
