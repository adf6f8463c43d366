#include "extension/records/RecordText.hpp"

#include "platform/foundation/UTF8.hpp"

#include <cstring>
#include <utility>

namespace vorla::records {

namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

} // namespace

bool isValidUTF8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const foundation::UTF8Sequence sequence = foundation::utf8SequenceAt(bytes, i);
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
        const foundation::UTF8Sequence sequence = foundation::utf8SequenceAt(bytes, i);
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
