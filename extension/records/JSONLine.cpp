#include "extension/records/JSONLine.hpp"

#include "extension/records/RecordText.hpp"
#include "extension/records/Timestamp.hpp"
#include "platform/foundation/UTF8.hpp"

#include <array>
#include <charconv>

namespace vorla::records {

namespace {

// The escape of each ASCII byte that JSON text cannot hold as it is, empty for the others.
// "/" is escaped too, as the general encoder does.
using EscapeTable = std::array<std::string_view, 128>;

constexpr EscapeTable escapeTable() {
    constexpr std::string_view controls[] = {
        "\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
        "\\b",     "\\t",     "\\n",     "\\u000b", "\\f",     "\\r",     "\\u000e", "\\u000f",
        "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
        "\\u0018", "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d", "\\u001e", "\\u001f"};
    EscapeTable table{};
    for (std::size_t byte = 0; byte < 0x20; ++byte) {
        table[byte] = controls[byte];
    }
    table['"'] = "\\\"";
    table['\\'] = "\\\\";
    table['/'] = "\\/";
    return table;
}

constexpr EscapeTable escapes = escapeTable();
constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

} // namespace

JSONLine& JSONLine::key(std::string_view name) {
    separate();
    text_ += '"';
    text_ += name;
    text_ += "\":";
    afterValue_ = false;
    return *this;
}

JSONLine& JSONLine::string(std::string_view bytes) {
    separate();
    text_ += '"';
    // Runs of bytes that need nothing are copied whole.
    std::size_t run = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x80) {
            const foundation::UTF8Sequence sequence = foundation::utf8SequenceAt(bytes, i);
            if (!sequence.wellFormed) {
                text_.append(bytes.substr(run, i - run)).append(replacementCharacter);
                run = sequence.end;
            }
            i = sequence.end;
            continue;
        }
        if (!escapes[byte].empty()) {
            text_.append(bytes.substr(run, i - run)).append(escapes[byte]);
            run = i + 1;
        }
        ++i;
    }
    text_.append(bytes.substr(run));
    text_ += '"';
    afterValue_ = true;
    return *this;
}

template <typename Integer> JSONLine& JSONLine::decimal(Integer value) {
    char digits[24];
    return raw(std::string_view(digits, std::to_chars(digits, digits + sizeof digits, value).ptr));
}

JSONLine& JSONLine::integer(std::int64_t value) {
    return decimal(value);
}

JSONLine& JSONLine::integer(std::uint64_t value) {
    return decimal(value);
}

JSONLine& JSONLine::timestamp(foundation::Date date) {
    separate();
    text_ += '"';
    appendTimestamp(text_, date);
    text_ += '"';
    afterValue_ = true;
    return *this;
}

JSONLine& JSONLine::open(char bracket) {
    separate();
    text_ += bracket;
    afterValue_ = false;
    return *this;
}

JSONLine& JSONLine::close(char bracket) {
    text_ += bracket;
    afterValue_ = true;
    return *this;
}

JSONLine& JSONLine::raw(std::string_view literal) {
    separate();
    text_ += literal;
    afterValue_ = true;
    return *this;
}

void JSONLine::separate() {
    if (afterValue_) {
        text_ += ',';
    }
}

} // namespace vorla::records
