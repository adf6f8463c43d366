#pragma once

#include "extension/config/YamlNode.hpp"

#include <stdexcept>
#include <string_view>

namespace vorla::extension {

// A YAML text that cannot be turned into the configuration; what() says why and where.
class YamlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The one document of a YAML text (UTF-8, or UTF-16 with a byte-order mark). Throws YamlError
// for a syntax error, an alias without an earlier anchor, nesting deeper than 64 levels, and a
// text that holds no document or more than one.
YamlNodePtr parseYaml(std::string_view text);

} // namespace vorla::extension
