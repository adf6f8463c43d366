#include "platform/endpoint_security/Trace.hpp"

#include "platform/foundation/TrustedStreams.hpp"

#include <iostream>
#include <unistd.h>

namespace vorla::endpoint_security {

Trace::Trace(std::optional<std::string> path) : path_(std::move(path)) {}

void Trace::record(std::string_view line) const {
    if (!path_) {
        return;
    }
    std::string text(line);
    text.push_back('\n');
    try {
        const foundation::OpenedFile file = foundation::openTrustedForAppending(*path_, 0644);
        if (write(file.descriptor.get(), text.data(), text.size()) !=
            static_cast<ssize_t>(text.size())) {
            std::cerr << "endpoint security trace: cannot write " << *path_ << '\n';
        }
    } catch (const foundation::FoundationError& error) {
        std::cerr << "endpoint security trace: " << error.what() << '\n';
    }
}

} // namespace vorla::endpoint_security
