#include "extension/config/YamlDecoding.hpp"

#include "extension/config/YamlParser.hpp"
#include "extension/config/YamlScalar.hpp"

namespace vorla::extension {

namespace {

std::string quoted(std::string_view text) {
    constexpr std::size_t shown = 40;
    std::string result = "\"" + std::string(text.substr(0, shown));
    return result + (text.size() > shown ? "...\"" : "\"");
}

} // namespace

YamlKeyedContainer::YamlKeyedContainer(YamlNodePtr node, std::string codingPath)
    : node_(std::move(node)), codingPath_(std::move(codingPath)) {
    if (node_->kind != YamlNode::Kind::mapping) {
        throw YamlError((codingPath_.empty() ? std::string("the document") : codingPath_) +
                        ": expected a mapping");
    }
}

std::string YamlKeyedContainer::pathOf(std::string_view key) const {
    return codingPath_.empty() ? std::string(key) : codingPath_ + "." + std::string(key);
}

void YamlKeyedContainer::fail(std::string_view key, const std::string& reason) const {
    throw YamlError(pathOf(key) + ": " + reason);
}

const YamlNodePtr& YamlKeyedContainer::value(std::string_view key) const {
    const YamlNodePtr* found = nullptr;
    for (const auto& [entryKey, entryValue] : node_->entries) {
        if (entryKey->kind != YamlNode::Kind::scalar || entryKey->text != key) {
            continue;
        }
        if (found) {
            fail(key, "the key appears more than once");
        }
        found = &entryValue;
    }
    if (!found) {
        fail(key, "required key is missing");
    }
    return *found;
}

const YamlNode& YamlKeyedContainer::scalar(std::string_view key) const {
    const YamlNode& found = *value(key);
    if (found.kind != YamlNode::Kind::scalar) {
        fail(key, "expected a single value, found a collection");
    }
    return found;
}

YamlKeyedContainer YamlKeyedContainer::nestedContainer(std::string_view key) const {
    const YamlNodePtr& found = value(key);
    if (found->kind != YamlNode::Kind::mapping) {
        fail(key, "expected a mapping");
    }
    return YamlKeyedContainer(found, pathOf(key));
}

std::vector<YamlKeyedContainer> YamlKeyedContainer::nestedContainers(std::string_view key) const {
    const YamlNode& found = *value(key);
    if (found.kind != YamlNode::Kind::sequence) {
        fail(key, "expected a sequence");
    }
    std::vector<YamlKeyedContainer> containers;
    for (std::size_t index = 0; index < found.items.size(); ++index) {
        containers.emplace_back(found.items[index],
                                pathOf(key) + "[" + std::to_string(index) + "]");
    }
    return containers;
}

bool YamlKeyedContainer::decodeBool(std::string_view key) const {
    const YamlNode& found = scalar(key);
    const auto value = found.isString ? std::nullopt : yamlBool(found.text);
    if (!value) {
        fail(key, "expected a boolean, found " + quoted(found.text));
    }
    return *value;
}

std::string YamlKeyedContainer::decodeString(std::string_view key) const {
    const YamlNode& found = scalar(key);
    if (!found.isString && isYamlNull(found.text)) {
        fail(key, "expected a string, found null");
    }
    return found.text;
}

std::uint64_t YamlKeyedContainer::decodeUnsigned(std::string_view key,
                                                 std::uint64_t maximum) const {
    const YamlNode& found = scalar(key);
    const auto number = found.isString ? std::nullopt : yamlInteger(found.text);
    if (!number) {
        fail(key, "expected an integer, found " + quoted(found.text));
    }
    const bool zero = !number->overflow && number->magnitude == 0;
    if (number->overflow || (number->negative && !zero) || number->magnitude > maximum) {
        fail(key, quoted(found.text) + " is outside 0 to " + std::to_string(maximum));
    }
    return number->magnitude;
}

} // namespace vorla::extension
