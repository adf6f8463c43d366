#pragma once

#include "extension/config/YamlNode.hpp"

#include <stdexcept>
#include <string>

namespace vorla::extension {

// A value that YAML cannot hold (text that is not UTF-8), with the path of the key that holds it.
class YamlEncodingError : public std::runtime_error {
public:
    YamlEncodingError(std::string value, std::string codingPath);

    // The offending value, bytes that are not UTF-8 written as \xNN.
    const std::string& value() const { return value_; }
    const std::string& codingPath() const { return codingPath_; }

private:
    std::string value_;
    std::string codingPath_;
};

// The YAML text of a tree, in block style, keys in their order. A string whose plain form would
// read back as another type (true, 5, ~, ...) is quoted, so that every YAML 1.1 reader gets the
// same values back. Throws YamlEncodingError for a value YAML cannot hold and
// std::runtime_error when the emitter fails otherwise.
std::string emitYaml(const YamlNode& root);

} // namespace vorla::extension
