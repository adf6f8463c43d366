#pragma once

#include <string>
#include <string_view>

namespace vorla::logging {

// Appends `text` to `out` with every control character written as a backslash escape ("\n",
// "\r", "\t", "\0", else "\u{1B}"), and a backslash put before each character of `alsoEscaped`.
// Text from other processes can then neither end a line nor smuggle terminal sequences.
void appendEscaped(std::string& out, std::string_view text, std::string_view alsoEscaped = {});

// `text` between double quotes, with double quotes, backslashes and control characters escaped.
std::string quoted(std::string_view text);

} // namespace vorla::logging
