#include "extension/records/JSONLine.hpp"

#include "extension/records/Timestamp.hpp"
#include "platform/foundation/UTF8.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace vorla::records {

namespace {

// The escape of each ASCII byte that JSON text cannot hold as it is, of no size for the
// others. "/" is escaped too, as the general encoder does. Each is stored whole in eight bytes,
// so that it is copied in one move.
struct Escape {
    char bytes[8];
    std::uint8_t size;
};
using EscapeTable = std::array<Escape, 128>;

constexpr Escape escape(std::string_view text) {
    Escape result{};
    std::copy(text.begin(), text.end(), result.bytes);
    result.size = static_cast<std::uint8_t>(text.size());
    return result;
}

constexpr EscapeTable escapeTable() {
    constexpr std::string_view controls[] = {
        "\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
        "\\b",     "\\t",     "\\n",     "\\u000b", "\\f",     "\\r",     "\\u000e", "\\u000f",
        "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
        "\\u0018", "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d", "\\u001e", "\\u001f"};
    EscapeTable table{};
    for (std::size_t byte = 0; byte < 0x20; ++byte) {
        table[byte] = escape(controls[byte]);
    }
    table['"'] = escape("\\\"");
    table['\\'] = escape("\\\\");
    table['/'] = escape("\\/");
    return table;
}

constexpr EscapeTable escapes = escapeTable();
constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// Marks the bytes of `word` (the first of them the lowest) that need more than a copy, by the
// high bit of each: a control character, '"', '/', '\\' or a byte of a multi-byte sequence.
// Paths and arguments are mostly plain, so eight bytes are passed over with a few operations
// where a byte loop would look each one up, and the first mark says at once where the plain
// run ends. Each test may mark bytes past the first that it matches (a borrow runs upwards),
// never before, so the lowest mark of all of them is exact.
constexpr std::uint64_t everyByte(std::uint8_t value) {
    return 0x0101010101010101ULL * value;
}

constexpr std::uint64_t zeroBytes(std::uint64_t word) {
    return (word - everyByte(1)) & ~word & everyByte(0x80);
}

constexpr std::uint64_t careMarks(std::uint64_t word) {
    const std::uint64_t controls = (word - everyByte(0x20)) & ~word;
    return (word | controls | zeroBytes(word ^ everyByte('"')) | zeroBytes(word ^ everyByte('/')) |
            zeroBytes(word ^ everyByte('\\'))) &
           everyByte(0x80);
}

// Between the order of bytes in memory and a word whose lowest byte is the first: the same
// both ways.
std::uint64_t firstByteLowest(std::uint64_t word) {
    if constexpr (std::endian::native == std::endian::big) {
        return __builtin_bswap64(word);
    }
    return word;
}

std::uint64_t load(const char* in, std::size_t size) {
    std::uint64_t word = 0;
    std::memcpy(&word, in, size);
    return firstByteLowest(word);
}

// The eight bytes from `in` on, the first lowest; fewer than eight left are filled up with
// plain ones, which need no care. Those are read as the last eight of the string where it has
// eight, which spares a call for copying a few bytes.
std::uint64_t wordAt(std::string_view bytes, const char* in) {
    constexpr std::size_t size = sizeof(std::uint64_t);
    const auto left = static_cast<std::size_t>(bytes.data() + bytes.size() - in);
    if (left >= size) {
        return load(in, size);
    }
    const std::uint64_t filling = everyByte('a') << (8 * left);
    if (bytes.size() >= size) {
        return load(bytes.data() + bytes.size() - size, size) >> (8 * (size - left)) | filling;
    }
    return load(in, left) | filling;
}

void storeWord(char* out, std::uint64_t word) {
    word = firstByteLowest(word);
    std::memcpy(out, &word, sizeof word);
}

} // namespace

JSONLine& JSONLine::string(std::string_view bytes) {
    // The most that one step below writes past `out`: a word copied whole, then an escape.
    constexpr std::size_t stepRoom = 2 * sizeof(std::uint64_t);
    char* out = separated(1 + bytes.size() + stepRoom);
    char* limit = text_.data() + text_.size();
    *out++ = '"';
    const char* in = bytes.data();
    const char* const end = in + bytes.size();
    while (in != end) {
        if (static_cast<std::size_t>(limit - out) < stepRoom + 1) {
            wrote(out, false);
            out = room(stepRoom + 1 + static_cast<std::size_t>(end - in));
            limit = text_.data() + text_.size();
        }
        // The word is copied whole; `out` moves over the plain bytes at its front only.
        const std::uint64_t word = wordAt(bytes, in);
        storeWord(out, word);
        const std::uint64_t marks = careMarks(word);
        if (marks == 0) {
            const std::size_t plain = std::min(static_cast<std::size_t>(end - in), sizeof word);
            in += plain;
            out += plain;
            continue;
        }
        const auto plain = static_cast<std::size_t>(std::countr_zero(marks) / 8);
        in += plain;
        out += plain;
        const auto byte = static_cast<unsigned char>(*in);
        if (byte < 0x80) {
            const Escape& escaped = escapes[byte];
            std::memcpy(out, escaped.bytes, sizeof escaped.bytes);
            out += escaped.size;
            ++in;
            continue;
        }
        // A sequence may reach past the word; a broken one becomes U+FFFD.
        const std::size_t at = static_cast<std::size_t>(in - bytes.data());
        const foundation::UTF8Sequence sequence = foundation::utf8SequenceAt(bytes, at);
        const char* const sequenceEnd = bytes.data() + sequence.end;
        if (sequence.wellFormed) {
            out = std::copy(in, sequenceEnd, out);
        } else {
            out = std::copy(replacementCharacter.begin(), replacementCharacter.end(), out);
        }
        in = sequenceEnd;
    }
    *out++ = '"';
    return wrote(out, true);
}

JSONLine& JSONLine::timestamp(foundation::Date date) {
    char* out = separated(maximumTimestampSize + 2);
    *out++ = '"';
    out = writeTimestamp(out, date);
    *out++ = '"';
    return wrote(out, true);
}

void JSONLine::grow(std::size_t bytes) {
    text_.resize(std::max(2 * text_.size(), size_ + bytes));
}

} // namespace vorla::records
