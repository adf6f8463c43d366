#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorla::endpoint_security {

// The record of client calls: one line per call, appended to a file with a single write, so
// lines of several clients and processes never mix. Without a file nothing is recorded; a file
// that is no regular file of a trusted owner, or a link, is not written (Trust.hpp).
class Trace {
public:
    explicit Trace(std::optional<std::string> path);
    void record(std::string_view line) const;

private:
    std::optional<std::string> path_;
};

} // namespace vorla::endpoint_security
