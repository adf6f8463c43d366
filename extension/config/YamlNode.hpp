#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorla::extension {

struct YamlNode;
using YamlNodePtr = std::shared_ptr<const YamlNode>;

// One node of a YAML document. Aliases share the node of their anchor, so a document that
// refers to one anchor many times stays small.
struct YamlNode {
    enum class Kind { scalar, sequence, mapping };

    Kind kind = Kind::scalar;
    // A scalar's text.
    std::string text;
    // A scalar that is a string whatever its text says (quoted, or tagged as a string). The
    // text of any other scalar decides its type by the YAML 1.1 rules.
    bool isString = false;
    std::vector<YamlNodePtr> items;
    std::vector<std::pair<YamlNodePtr, YamlNodePtr>> entries;

    static YamlNodePtr string(std::string text);
    static YamlNodePtr boolean(bool value);
    static YamlNodePtr integer(std::uint64_t value);
    static YamlNodePtr sequence(std::vector<YamlNodePtr> items);
    static std::shared_ptr<YamlNode> mapping();

    // Appends a key to a mapping; keys keep the order in which they are added.
    void add(std::string_view key, YamlNodePtr value);
};

} // namespace vorla::extension
