#pragma once

#include "platform/endpoint_security/ESTypes.h"

#include <optional>
#include <string>
#include <string_view>

namespace vorla::records {

// The bytes of a token: only when its pointer is set and its length is above 0, up to the
// first zero byte and never more than its length.
std::optional<std::string> tokenBytes(const es_string_token_t& token);
// The same bytes, seen in place: valid for as long as the message lives.
std::optional<std::string_view> tokenView(const es_string_token_t& token);

// The bytes of a file's path, seen in place; nothing without a file or a path.
std::optional<std::string_view> pathView(const es_file_t* file);

// The bytes of a fixed character array, seen in place: up to its first zero byte and never
// past its end.
std::string_view fixedView(const char* characters, size_t size);

// The bytes as UTF-8, each maximal invalid subsequence replaced by U+FFFD. Bytes that are
// valid already are handed back as they are, without a copy.
std::string validUTF8(std::string_view bytes);
std::string validUTF8(std::string&& bytes);

// Whether the bytes are well-formed UTF-8 throughout.
bool isValidUTF8(std::string_view bytes);

} // namespace vorla::records
