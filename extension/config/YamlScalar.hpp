#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vorla::extension {

// The YAML 1.1 rules for plain scalars that the configuration needs.

// "", "~", "null", "Null", "NULL".
bool isYamlNull(std::string_view text);

// y, yes, true, on and n, no, false, off, each lower-case, capitalised or upper-case.
std::optional<bool> yamlBool(std::string_view text);

struct YamlInteger {
    bool negative = false;
    std::uint64_t magnitude = 0;
    // The number does not fit in 64 bits; `magnitude` is then meaningless.
    bool overflow = false;
};

// An integer in any YAML 1.1 form: decimal, 0b binary, 0x hexadecimal, leading-zero octal,
// sexagesimal (1:30), with an optional sign and underscores between digits. None when the
// text is not an integer at all.
std::optional<YamlInteger> yamlInteger(std::string_view text);

// True when a plain scalar with this text might be read back as something other than a string
// by a YAML 1.1 reader (ours, or another that also knows floats, timestamps and merge keys).
// It errs on the side of caution: quoting a string that needed none is harmless.
bool needsQuotes(std::string_view text);

} // namespace vorla::extension
