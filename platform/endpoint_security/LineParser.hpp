#pragma once

#include <simdjson.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vorla::endpoint_security {

// Reads one line of the message stream as JSON with simdjson, accepting exactly the lines that
// the general JSON parser accepts: a UTF-8 byte order mark may open the line, a zero byte after
// the value ends it as its end does, nesting is bounded by the line alone, and an integer that
// does not fit 64 bits is a real. A member name may repeat; the reader of the values decides
// which one counts. The parser's memory grows in proportion to the longest line read since the
// last release.
class LineParser {
public:
    // How many readable bytes simdjson needs behind a text, which it reads in blocks; what they
    // hold does not matter.
    static constexpr size_t padding = simdjson::SIMDJSON_PADDING;

    // The outermost value of a line that lies in a buffer with at least `padding` bytes behind
    // it, as the stream's reader keeps its lines, so that it is read where it lies. The value is
    // valid until the next parse; nothing when the line is not JSON.
    std::optional<simdjson::dom::element> parsePadded(std::string_view line);
    // The same for a line that may end anywhere: it is copied first, behind it the padding.
    std::optional<simdjson::dom::element> parse(std::string_view line);

    // Gives back the memory that a long line needed.
    void release();

private:
    void reserve(size_t length);
    std::optional<simdjson::dom::element> parseWideIntegers(std::string_view line);
    // Parses a text with the padding behind it, nested as deeply as it may be; memory that
    // cannot be had is thrown as such.
    simdjson::error_code read(std::string_view text, simdjson::dom::element& root);

    simdjson::dom::parser parser_;
    // Kept apart from the parser so that it grows in the same steps as the parser does.
    simdjson::dom::document document_;
    // A copy of the line with the padding behind it, for lines that may end anywhere.
    std::string copy_;
};

} // namespace vorla::endpoint_security
