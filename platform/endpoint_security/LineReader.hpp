#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorla::endpoint_security {

// Reads lines from a file descriptor and can be interrupted from another thread while it
// waits for input (a pipe or a terminal), so the service thread can always be joined.
class LineReader {
public:
    // Takes ownership of the descriptor. A line longer than maxLineLength is reported as empty
    // text; the reader holds no more of it than the bound and one chunk of input. Every line
    // handed out is followed by at least `padding` readable bytes of the buffer, so that a
    // parser that reads ahead in blocks can read it where it lies.
    LineReader(int fd, size_t maxLineLength, size_t padding);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    ~LineReader();

    // The next line without its line feed, or nothing at the end of the input or once
    // interrupted. A line that was too long comes back empty with tooLong set. The text lies
    // in the reader's buffer and stays valid until the next call.
    std::optional<std::string_view> next(bool& tooLong);
    // Safe to call from any thread, any number of times.
    void interrupt();

private:
    bool fill();
    std::string_view take(size_t end, size_t nextStart, bool tooLong);

    int fd_;
    size_t maxLineLength_;
    size_t padding_;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    // The input read, then at least padding_ more bytes, whatever they hold.
    std::string buffer_;
    // Where the first line not yet handed out begins, and where the input read ends.
    size_t start_ = 0;
    size_t end_ = 0;
    bool ended_ = false;
};

} // namespace vorla::endpoint_security
