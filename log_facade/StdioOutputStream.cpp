#include "log_facade/StdioOutputStream.hpp"

namespace vorla::logging {

void StdioOutputStream::write(std::string_view text) {
    flockfile(file_);
    std::fwrite(text.data(), 1, text.size(), file_);
    if (flushMode_ == FlushMode::always) {
        std::fflush(file_);
    }
    funlockfile(file_);
}

// Never destroyed, so threads still logging while the process ends find their stream.
const std::shared_ptr<StdioOutputStream>& StdioOutputStream::standardOutput() {
    static const auto* stream = new std::shared_ptr<StdioOutputStream>(
        std::make_shared<StdioOutputStream>(stdout, FlushMode::always));
    return *stream;
}

const std::shared_ptr<StdioOutputStream>& StdioOutputStream::standardError() {
    static const auto* stream = new std::shared_ptr<StdioOutputStream>(
        std::make_shared<StdioOutputStream>(stderr, FlushMode::always));
    return *stream;
}

} // namespace vorla::logging
