#pragma once

#include "extension/config/YamlNode.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::extension {

// A mapping of a parsed document, read key by key. Every key asked for must be there, once,
// with a value of the type asked for; otherwise YamlError names the key's path and the fault.
class YamlKeyedContainer {
public:
    // Throws when the node is not a mapping.
    YamlKeyedContainer(YamlNodePtr node, std::string codingPath);

    YamlKeyedContainer nestedContainer(std::string_view key) const;
    // A sequence whose every item is a mapping.
    std::vector<YamlKeyedContainer> nestedContainers(std::string_view key) const;

    bool decodeBool(std::string_view key) const;
    // Any scalar but null, quoted or not.
    std::string decodeString(std::string_view key) const;
    // A non-negative integer no greater than `maximum`.
    std::uint64_t decodeUnsigned(std::string_view key, std::uint64_t maximum) const;

    // Throws YamlError for the key's path with the reason.
    [[noreturn]] void fail(std::string_view key, const std::string& reason) const;

private:
    const YamlNodePtr& value(std::string_view key) const;
    const YamlNode& scalar(std::string_view key) const;
    std::string pathOf(std::string_view key) const;

    YamlNodePtr node_;
    std::string codingPath_;
};

} // namespace vorla::extension
