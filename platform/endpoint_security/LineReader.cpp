#include "platform/endpoint_security/LineReader.hpp"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace vorla::endpoint_security {

LineReader::LineReader(int fd) : fd_(fd) {
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
    char chunk[65536];
    for (;;) {
        const ssize_t count = read(fd_, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        buffer_.append(chunk, static_cast<size_t>(count));
        return true;
    }
}

std::optional<std::string> LineReader::next(bool& tooLong) {
    tooLong = false;
    size_t searched = 0;
    for (;;) {
        const size_t end = buffer_.find('\n', searched);
        if (end != std::string::npos) {
            std::string line = tooLong ? std::string() : buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            return line;
        }
        if (buffer_.size() > maxLineLength) {
            // Keep nothing of an overlong line but the knowledge that it was one.
            tooLong = true;
            buffer_.clear();
        }
        searched = buffer_.size();
        if (ended_ || !fill()) {
            ended_ = true;
            if (buffer_.empty() && !tooLong) {
                return std::nullopt;
            }
            std::string line = tooLong ? std::string() : std::move(buffer_);
            buffer_.clear();
            return line;
        }
    }
}

} // namespace vorla::endpoint_security
