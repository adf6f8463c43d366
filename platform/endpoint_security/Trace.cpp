#include "platform/endpoint_security/Trace.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace vorla::endpoint_security {

Trace::Trace(std::optional<std::string> path) : path_(std::move(path)) {}

void Trace::record(std::string_view line) const {
    if (!path_) {
        return;
    }
    const int fd = open(path_->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::cerr << "endpoint security trace: cannot open " << *path_ << ": "
                  << std::strerror(errno) << '\n';
        return;
    }
    std::string text(line);
    text.push_back('\n');
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        std::cerr << "endpoint security trace: cannot write " << *path_ << '\n';
    }
    close(fd);
}

} // namespace vorla::endpoint_security
