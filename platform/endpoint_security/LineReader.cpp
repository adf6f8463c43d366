#include "platform/endpoint_security/LineReader.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace vorla::endpoint_security {

LineReader::LineReader(int fd, size_t maxLineLength, size_t padding)
    : fd_(fd), maxLineLength_(maxLineLength), padding_(padding), buffer_(padding, '\0') {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead_ = ends[0];
        wakeWrite_ = ends[1];
    }
}

LineReader::~LineReader() {
    for (const int fd : {fd_, wakeRead_, wakeWrite_}) {
        if (fd > STDERR_FILENO) {
            close(fd);
        }
    }
}

void LineReader::interrupt() {
    const char byte = 0;
    while (write(wakeWrite_, &byte, 1) < 0 && errno == EINTR) {
    }
}

// Reads one chunk; false at the end of the input, on an error or once interrupted.
bool LineReader::fill() {
    pollfd waiting[2] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    for (;;) {
        const int ready = poll(waiting, wakeRead_ >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || (waiting[1].revents & POLLIN)) {
            return false;
        }
        break;
    }
    // A chunk is read straight into the buffer, behind the input and ahead of the padding.
    constexpr size_t chunk = 65536;
    if (buffer_.size() < end_ + chunk + padding_) {
        buffer_.resize(end_ + chunk + padding_);
    }
    for (;;) {
        const ssize_t count = read(fd_, buffer_.data() + end_, chunk);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        end_ += static_cast<size_t>(count);
        return true;
    }
}

std::string_view LineReader::take(size_t end, size_t nextStart, bool tooLong) {
    const std::string_view line =
        tooLong ? std::string_view() : std::string_view(buffer_).substr(start_, end - start_);
    start_ = nextStart;
    return line;
}

std::optional<std::string_view> LineReader::next(bool& tooLong) {
    tooLong = false;
    size_t searched = start_;
    for (;;) {
        const size_t end = std::string_view(buffer_).substr(0, end_).find('\n', searched);
        if (end != std::string::npos) {
            // The rest of an overlong line may come with its line feed in the same chunk.
            tooLong = tooLong || end - start_ > maxLineLength_;
            return take(end, end + 1, tooLong);
        }
        // Lines are handed out as views, so the input is compacted only before more is read,
        // once per chunk rather than once per line.
        if (start_ > 0) {
            std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
            end_ -= start_;
            start_ = 0;
        }
        if (end_ > maxLineLength_) {
            // Keep nothing of an overlong line but the knowledge that it was one; its rest is
            // read and let go chunk by chunk until its line feed.
            tooLong = true;
            end_ = 0;
        }
        searched = end_;
        if (ended_ || !fill()) {
            ended_ = true;
            if (end_ == 0 && !tooLong) {
                return std::nullopt;
            }
            return take(end_, end_, tooLong);
        }
    }
}

} // namespace vorla::endpoint_security
