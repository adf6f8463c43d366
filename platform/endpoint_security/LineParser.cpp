#include "platform/endpoint_security/LineParser.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <new>

namespace vorla::endpoint_security {

namespace {

using simdjson::dom::element;

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
// Below this the parser's memory is not worth growing in steps.
constexpr size_t minimumCapacity = size_t{4} << 10;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where a token of a JSON text ends: at white space, a structural character or a quote.
bool endsToken(char c) {
    return std::string_view(" \t\r\n,:[]{}\"").find(c) != std::string_view::npos;
}

// Spells an integer that does not fit 64 bits again as the real that the general parser reads
// for it, in no more bytes and padded with spaces: the shortest digits that give the real back
// and their power of ten, so that 18446744073709551616 becomes "18446744073709552e3 ". False
// for a token that is no such integer, or whose real a double cannot hold.
bool respellWideInteger(char* first, char* last) {
    const char* digits = first + (*first == '-' ? 1 : 0);
    if (digits == last || *digits == '0' ||
        !std::all_of(digits, static_cast<const char*>(last), isDigit)) {
        return false;
    }
    int64_t signedValue = 0;
    uint64_t unsignedValue = 0;
    const bool fits = digits == first
                          ? std::from_chars(first, last, unsignedValue).ec == std::errc{}
                          : std::from_chars(first, last, signedValue).ec == std::errc{};
    double value = 0;
    if (fits || std::from_chars(first, last, value).ec != std::errc{}) {
        return false;
    }
    char scientific[32];
    const char* end =
        std::to_chars(scientific, std::end(scientific), value, std::chars_format::scientific).ptr;
    // "-d.ddde+x": the digits without their point, and the power less the digits after it.
    const std::string_view text(scientific, static_cast<size_t>(end - scientific));
    const size_t mark = text.find('e');
    const size_t point = text.find('.');
    std::string spelt;
    std::copy_if(text.begin(), text.begin() + mark, std::back_inserter(spelt),
                 [](char c) { return c != '.'; });
    int power = 0;
    std::from_chars(text.data() + mark + (text[mark + 1] == '+' ? 2 : 1), end, power);
    spelt += "e" + std::to_string(power - (point < mark ? static_cast<int>(mark - point - 1) : 0));
    if (spelt.size() > static_cast<size_t>(last - first)) {
        return false;
    }
    std::fill(std::copy(spelt.begin(), spelt.end(), first), last, ' ');
    return true;
}

// Whether any integer of the text outside its strings was spelt again.
bool respellWideIntegers(char* text, size_t size) {
    bool respelt = false;
    bool inString = false;
    for (size_t index = 0; index < size; ++index) {
        const char next = text[index];
        if (inString) {
            index += next == '\\' ? 1 : 0;
            inString = next != '"';
        } else if (next == '"') {
            inString = true;
        } else if (next == '-' || isDigit(next)) {
            size_t end = index + 1;
            while (end < size && !endsToken(text[end])) {
                ++end;
            }
            respelt = respellWideInteger(text + index, text + end) || respelt;
            index = end - 1;
        }
    }
    return respelt;
}

} // namespace

std::optional<element> LineParser::parsePadded(std::string_view line) {
    // A zero byte ends the text as its end does: what follows is not read.
    line = line.substr(0, line.find('\0'));
    if (line.starts_with(byteOrderMark)) {
        line.remove_prefix(byteOrderMark.size());
    }
    reserve(line.size());
    element root;
    const simdjson::error_code error = read(line, root);
    if (error == simdjson::NUMBER_ERROR) {
        return parseWideIntegers(line);
    }
    return error == simdjson::SUCCESS ? std::optional(root) : std::nullopt;
}

std::optional<element> LineParser::parse(std::string_view line) {
    copy_.assign(line);
    copy_.resize(line.size() + padding);
    return parsePadded(std::string_view(copy_).substr(0, line.size()));
}

void LineParser::release() {
    parser_ = simdjson::dom::parser();
    document_ = simdjson::dom::document();
    copy_ = {};
}

// simdjson refuses an integer that does not fit 64 bits, which the general parser reads as a
// real; such a line is read again with its wide integers spelt as those reals. It comes so
// seldom that it may cost a copy of its own, which simdjson no longer needs after the parse.
std::optional<element> LineParser::parseWideIntegers(std::string_view line) {
    std::string respelt(line);
    respelt.resize(line.size() + padding);
    element root;
    if (!respellWideIntegers(respelt.data(), line.size()) ||
        read(std::string_view(respelt).substr(0, line.size()), root) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return root;
}

simdjson::error_code LineParser::read(std::string_view text, element& root) {
    simdjson::error_code error =
        parser_.parse_into_document(document_, text.data(), text.size(), false).get(root);
    // simdjson's own bound of nesting costs little room; a line nested deeper, which the general
    // parser accepts, is read again with room for as deep as it can be: each level takes two of
    // its bytes.
    const size_t deepest = text.size() / 2 + 2;
    if (error == simdjson::DEPTH_ERROR && parser_.max_depth() < deepest) {
        if (parser_.allocate(parser_.capacity(), deepest) != simdjson::SUCCESS) {
            throw std::bad_alloc();
        }
        error = parser_.parse_into_document(document_, text.data(), text.size(), false).get(root);
    }
    if (error == simdjson::MEMALLOC) {
        throw std::bad_alloc();
    }
    return error;
}

// Room for a line of the length, grown in powers of two, so that lines of growing length seldom
// allocate.
void LineParser::reserve(size_t length) {
    if (length <= parser_.capacity()) {
        return;
    }
    const size_t capacity = std::bit_ceil(std::max(length, minimumCapacity));
    if (parser_.allocate(capacity, parser_.max_depth()) != simdjson::SUCCESS ||
        document_.allocate(capacity) != simdjson::SUCCESS) {
        throw std::bad_alloc();
    }
}

} // namespace vorla::endpoint_security
