#include "extension/config/YamlParser.hpp"

#include <map>
#include <yaml.h>

namespace vorla::extension {

namespace {

// Deep enough for any configuration, shallow enough that nothing recurses into trouble.
constexpr std::size_t maximumDepth = 64;

constexpr std::string_view stringTag = "tag:yaml.org,2002:str";

struct Parser {
    yaml_parser_t parser{};
    Parser() { yaml_parser_initialize(&parser); }
    ~Parser() { yaml_parser_delete(&parser); }
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;
};

struct Event {
    yaml_event_t event{};
    ~Event() { yaml_event_delete(&event); }
};

std::string position(const yaml_mark_t& mark) {
    return "line " + std::to_string(mark.line + 1) + ", column " + std::to_string(mark.column + 1);
}

std::string text(const yaml_char_t* characters) {
    return characters ? reinterpret_cast<const char*>(characters) : "";
}

// Builds the tree from the parser's events.
class Composer {
public:
    void startDocument(const yaml_mark_t& mark) {
        if (++documents_ > 1) {
            throw YamlError("more than one document, the second at " + position(mark));
        }
    }

    void scalar(const yaml_event_t& event) {
        auto node = std::make_shared<YamlNode>();
        const auto& scalar = event.data.scalar;
        node->text.assign(reinterpret_cast<const char*>(scalar.value), scalar.length);
        if (scalar.tag) {
            const std::string tag = text(scalar.tag);
            node->isString = tag == stringTag || tag == "!";
        } else {
            node->isString = scalar.style != YAML_PLAIN_SCALAR_STYLE;
        }
        remember(scalar.anchor, node);
        attach(node);
    }

    void alias(const yaml_event_t& event) {
        const auto found = anchors_.find(text(event.data.alias.anchor));
        if (found == anchors_.end()) {
            throw YamlError("unknown alias \"" + text(event.data.alias.anchor) + "\" at " +
                            position(event.start_mark));
        }
        attach(found->second);
    }

    void startCollection(YamlNode::Kind kind, const yaml_char_t* anchor, const yaml_mark_t& mark) {
        if (open_.size() >= maximumDepth) {
            throw YamlError("nesting deeper than " + std::to_string(maximumDepth) + " levels at " +
                            position(mark));
        }
        auto node = std::make_shared<YamlNode>();
        node->kind = kind;
        open_.push_back({node, nullptr, text(anchor)});
    }

    void endCollection() {
        Frame frame = std::move(open_.back());
        open_.pop_back();
        // Anchored only now, so that an alias inside the collection cannot refer to it.
        if (!frame.anchor.empty()) {
            anchors_[frame.anchor] = frame.node;
        }
        attach(frame.node);
    }

    YamlNodePtr root() const {
        if (!root_) {
            throw YamlError("the text holds no document");
        }
        return root_;
    }

private:
    struct Frame {
        std::shared_ptr<YamlNode> node;
        YamlNodePtr pendingKey;
        std::string anchor;
    };

    void remember(const yaml_char_t* anchor, const YamlNodePtr& node) {
        if (anchor) {
            anchors_[text(anchor)] = node;
        }
    }

    void attach(YamlNodePtr node) {
        if (open_.empty()) {
            root_ = std::move(node);
            return;
        }
        Frame& parent = open_.back();
        if (parent.node->kind == YamlNode::Kind::sequence) {
            parent.node->items.push_back(std::move(node));
        } else if (!parent.pendingKey) {
            parent.pendingKey = std::move(node);
        } else {
            parent.node->entries.emplace_back(std::move(parent.pendingKey), std::move(node));
            parent.pendingKey = nullptr;
        }
    }

    std::vector<Frame> open_;
    std::map<std::string, YamlNodePtr> anchors_;
    YamlNodePtr root_;
    int documents_ = 0;
};

} // namespace

YamlNodePtr parseYaml(std::string_view input) {
    Parser parser;
    yaml_parser_set_input_string(
        &parser.parser, reinterpret_cast<const unsigned char*>(input.data()), input.size());
    Composer composer;
    for (;;) {
        Event event;
        if (!yaml_parser_parse(&parser.parser, &event.event)) {
            const auto& failed = parser.parser;
            throw YamlError(std::string(failed.problem ? failed.problem : "unreadable YAML") +
                            " at " + position(failed.problem_mark));
        }
        const yaml_event_t& current = event.event;
        switch (current.type) {
        case YAML_STREAM_END_EVENT:
            return composer.root();
        case YAML_DOCUMENT_START_EVENT:
            composer.startDocument(current.start_mark);
            break;
        case YAML_SCALAR_EVENT:
            composer.scalar(current);
            break;
        case YAML_ALIAS_EVENT:
            composer.alias(current);
            break;
        case YAML_SEQUENCE_START_EVENT:
            composer.startCollection(YamlNode::Kind::sequence, current.data.sequence_start.anchor,
                                     current.start_mark);
            break;
        case YAML_MAPPING_START_EVENT:
            composer.startCollection(YamlNode::Kind::mapping, current.data.mapping_start.anchor,
                                     current.start_mark);
            break;
        case YAML_SEQUENCE_END_EVENT:
        case YAML_MAPPING_END_EVENT:
            composer.endCollection();
            break;
        default:
            break;
        }
    }
}

} // namespace vorla::extension
