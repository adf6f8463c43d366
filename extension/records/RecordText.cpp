#include "extension/records/RecordText.hpp"

#include <cstring>
#include <utility>

namespace vorla::records {

namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// The number of continuation bytes that a lead byte announces, and the range of the first
// of them (the later ones are always 0x80 to 0xBF); 0 for a byte that cannot lead.
struct Lead {
    int continuations;
    unsigned char low;
    unsigned char high;
};

Lead leadOf(unsigned char byte) {
    if (byte >= 0xC2 && byte <= 0xDF) {
        return {1, 0x80, 0xBF};
    }
    if (byte == 0xE0) {
        return {2, 0xA0, 0xBF};
    }
    if (byte == 0xED) {
        return {2, 0x80, 0x9F};
    }
    if (byte >= 0xE1 && byte <= 0xEF) {
        return {2, 0x80, 0xBF};
    }
    if (byte == 0xF0) {
        return {3, 0x90, 0xBF};
    }
    if (byte >= 0xF1 && byte <= 0xF3) {
        return {3, 0x80, 0xBF};
    }
    if (byte == 0xF4) {
        return {3, 0x80, 0x8F};
    }
    return {0, 0, 0};
}

} // namespace

UTF8Sequence utf8SequenceAt(std::string_view bytes, size_t start) {
    const Lead lead = leadOf(static_cast<unsigned char>(bytes[start]));
    size_t end = start + 1;
    for (int k = 0; k < lead.continuations; ++k, ++end) {
        const unsigned char low = k == 0 ? lead.low : 0x80;
        const unsigned char high = k == 0 ? lead.high : 0xBF;
        if (end >= bytes.size()) {
            return {end, false};
        }
        const auto next = static_cast<unsigned char>(bytes[end]);
        if (next < low || next > high) {
            return {end, false};
        }
    }
    return {end, lead.continuations > 0};
}

bool isValidUTF8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const UTF8Sequence sequence = utf8SequenceAt(bytes, i);
        if (!sequence.wellFormed) {
            return false;
        }
        i = sequence.end;
    }
    return true;
}

std::string validUTF8(std::string_view bytes) {
    std::string result;
    result.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            result += bytes[i++];
            continue;
        }
        const UTF8Sequence sequence = utf8SequenceAt(bytes, i);
        if (sequence.wellFormed) {
            result.append(bytes.substr(i, sequence.end - i));
        } else {
            result += replacementCharacter;
        }
        i = sequence.end;
    }
    return result;
}

std::string validUTF8(std::string&& bytes) {
    return isValidUTF8(bytes) ? std::move(bytes) : validUTF8(std::string_view(bytes));
}

std::optional<std::string_view> tokenView(const es_string_token_t& token) {
    if (!token.data || token.length == 0) {
        return std::nullopt;
    }
    return fixedView(token.data, token.length);
}

std::optional<std::string> tokenBytes(const es_string_token_t& token) {
    const auto bytes = tokenView(token);
    return bytes ? std::optional<std::string>(*bytes) : std::nullopt;
}

std::optional<std::string_view> pathView(const es_file_t* file) {
    return file ? tokenView(file->path) : std::nullopt;
}

std::string_view fixedView(const char* characters, size_t size) {
    const void* zero = std::memchr(characters, 0, size);
    const size_t length =
        zero ? static_cast<size_t>(static_cast<const char*>(zero) - characters) : size;
    return std::string_view(characters, length);
}

} // namespace vorla::records
