#include "sinks/SinkReporter.hpp"

#include <cstdio>

namespace vorla {

namespace {

void printLine(std::string_view message) {
    std::fwrite(message.data(), 1, message.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

std::shared_ptr<const SinkReporter> SinkReporter::standardOutput() {
    static const auto reporter = std::make_shared<const SinkReporter>();
    return reporter;
}

void SinkReporter::failure(std::string_view message) const {
    printLine(message);
}

void SinkReporter::notice(std::string_view message) const {
    printLine(message);
}

} // namespace vorla
