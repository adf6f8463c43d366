#include "extension/config/YamlNode.hpp"

namespace vorla::extension {

namespace {

YamlNodePtr scalar(std::string text, bool isString) {
    auto node = std::make_shared<YamlNode>();
    node->text = std::move(text);
    node->isString = isString;
    return node;
}

} // namespace

YamlNodePtr YamlNode::string(std::string text) {
    return scalar(std::move(text), true);
}

YamlNodePtr YamlNode::boolean(bool value) {
    return scalar(value ? "true" : "false", false);
}

YamlNodePtr YamlNode::integer(std::uint64_t value) {
    return scalar(std::to_string(value), false);
}

YamlNodePtr YamlNode::sequence(std::vector<YamlNodePtr> items) {
    auto node = std::make_shared<YamlNode>();
    node->kind = Kind::sequence;
    node->items = std::move(items);
    return node;
}

std::shared_ptr<YamlNode> YamlNode::mapping() {
    auto node = std::make_shared<YamlNode>();
    node->kind = Kind::mapping;
    return node;
}

void YamlNode::add(std::string_view key, YamlNodePtr value) {
    entries.emplace_back(string(std::string(key)), std::move(value));
}

} // namespace vorla::extension
