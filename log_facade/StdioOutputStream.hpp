#pragma once

#include "log_facade/TextOutputStream.hpp"

#include <cstdio>
#include <memory>

namespace vorla::logging {

// A C standard-I/O stream. Each write holds the stream's own lock for one fwrite (and the
// flush), so lines written by several threads or handlers never mix within a line.
class StdioOutputStream : public TextOutputStream {
public:
    enum class FlushMode {
        undefined, // no flush after a write
        always,    // flush after every write
    };

    StdioOutputStream(std::FILE* file, FlushMode flushMode) : file_(file), flushMode_(flushMode) {}

    // Output errors are not reported: a record that cannot be written is lost.
    void write(std::string_view text) override;

    // The shared streams on standard output and standard error, made on first use and kept for
    // the rest of the process, flushed after every write.
    static const std::shared_ptr<StdioOutputStream>& standardOutput();
    static const std::shared_ptr<StdioOutputStream>& standardError();

private:
    std::FILE* file_;
    FlushMode flushMode_;
};

} // namespace vorla::logging
