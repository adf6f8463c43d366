#pragma once

#include <string_view>

namespace vorla::logging {

// Where a StreamLogHandler writes its lines. One write is one whole line, so a stream that
// keeps each write together keeps lines from different threads apart.
class TextOutputStream {
public:
    virtual ~TextOutputStream() = default;
    virtual void write(std::string_view text) = 0;
};

} // namespace vorla::logging
