#include "extension/config/Muting.hpp"

namespace vorla::extension {

std::string_view MutePath::toString(enum type value) {
    return value == type::literal ? "literal" : "prefix";
}

std::optional<enum MutePath::type> MutePath::fromString(std::string_view raw) {
    for (const enum type value : {type::prefix, type::literal}) {
        if (toString(value) == raw) {
            return value;
        }
    }
    return std::nullopt;
}

void Muting::decode(const YamlKeyedContainer& container) {
    inverted = container.decodeBool("inverted");
    targets.clear();
    for (const YamlKeyedContainer& target : container.nestedContainers("targets")) {
        std::string path = target.decodeString("path");
        const std::string raw = target.decodeString("type");
        const auto type = MutePath::fromString(raw);
        if (!type) {
            target.fail("type", "\"" + raw + "\" is neither \"prefix\" nor \"literal\"");
        }
        targets.push_back({std::move(path), *type});
    }
}

void Muting::encode(YamlNode& mapping) const {
    mapping.add("inverted", YamlNode::boolean(inverted));
    std::vector<YamlNodePtr> items;
    for (const MutePath& target : targets) {
        auto item = YamlNode::mapping();
        item->add("path", YamlNode::string(target.path));
        item->add("type", YamlNode::string(std::string(MutePath::toString(target.type))));
        items.push_back(std::move(item));
    }
    mapping.add("targets", YamlNode::sequence(std::move(items)));
}

} // namespace vorla::extension
