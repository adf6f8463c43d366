#include "extension/config/YamlEmitter.hpp"

#include "extension/config/YamlScalar.hpp"

#include <cstdio>
#include <yaml.h>

namespace vorla::extension {

namespace {

std::string escapedBytes(std::string_view text) {
    std::string shown;
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte < 0x20 || byte >= 0x7F || byte == '\\') {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(byte));
            shown += escape;
        } else {
            shown += character;
        }
    }
    return shown;
}

struct Emitter {
    yaml_emitter_t emitter{};
    std::string output;

    Emitter() {
        yaml_emitter_initialize(&emitter);
        yaml_emitter_set_output(&emitter, &Emitter::write, this);
        yaml_emitter_set_unicode(&emitter, 1);
        yaml_emitter_set_width(&emitter, -1);
        yaml_emitter_set_indent(&emitter, 2);
    }
    ~Emitter() { yaml_emitter_delete(&emitter); }
    Emitter(const Emitter&) = delete;
    Emitter& operator=(const Emitter&) = delete;

    static int write(void* data, unsigned char* buffer, size_t size) {
        static_cast<Emitter*>(data)->output.append(reinterpret_cast<const char*>(buffer), size);
        return 1;
    }

    // Hands one initialised event to the emitter, which takes ownership of it.
    void emit(yaml_event_t& event) {
        if (!yaml_emitter_emit(&emitter, &event)) {
            throw std::runtime_error(std::string("the YAML emitter failed: ") +
                                     (emitter.problem ? emitter.problem : "unknown problem"));
        }
    }

    void node(const YamlNode& current, const std::string& codingPath) {
        yaml_event_t event;
        switch (current.kind) {
        case YamlNode::Kind::scalar:
            scalar(current, codingPath);
            return;
        case YamlNode::Kind::sequence:
            yaml_sequence_start_event_initialize(&event, nullptr, nullptr, 1,
                                                 YAML_BLOCK_SEQUENCE_STYLE);
            emit(event);
            for (std::size_t index = 0; index < current.items.size(); ++index) {
                node(*current.items[index], codingPath + "[" + std::to_string(index) + "]");
            }
            yaml_sequence_end_event_initialize(&event);
            emit(event);
            return;
        case YamlNode::Kind::mapping:
            yaml_mapping_start_event_initialize(&event, nullptr, nullptr, 1,
                                                YAML_BLOCK_MAPPING_STYLE);
            emit(event);
            for (const auto& [key, value] : current.entries) {
                const std::string keyPath =
                    codingPath.empty() ? key->text : codingPath + "." + key->text;
                node(*key, keyPath);
                node(*value, keyPath);
            }
            yaml_mapping_end_event_initialize(&event);
            emit(event);
            return;
        }
    }

    void scalar(const YamlNode& current, const std::string& codingPath) {
        const auto style = current.isString && needsQuotes(current.text)
                               ? YAML_SINGLE_QUOTED_SCALAR_STYLE
                               : YAML_ANY_SCALAR_STYLE;
        yaml_event_t event;
        // libyaml refuses text that is not UTF-8 here, before anything is written.
        if (!yaml_scalar_event_initialize(
                &event, nullptr, nullptr,
                reinterpret_cast<yaml_char_t*>(const_cast<char*>(current.text.data())),
                static_cast<int>(current.text.size()), 1, 1, style)) {
            throw YamlEncodingError(escapedBytes(current.text), codingPath);
        }
        emit(event);
    }
};

} // namespace

YamlEncodingError::YamlEncodingError(std::string value, std::string codingPath)
    : std::runtime_error("invalid value at " + codingPath), value_(std::move(value)),
      codingPath_(std::move(codingPath)) {}

std::string emitYaml(const YamlNode& root) {
    Emitter emitter;
    yaml_event_t event;
    yaml_stream_start_event_initialize(&event, YAML_UTF8_ENCODING);
    emitter.emit(event);
    yaml_document_start_event_initialize(&event, nullptr, nullptr, nullptr, 1);
    emitter.emit(event);
    emitter.node(root, "");
    yaml_document_end_event_initialize(&event, 1);
    emitter.emit(event);
    yaml_stream_end_event_initialize(&event);
    emitter.emit(event);
    return std::move(emitter.output);
}

} // namespace vorla::extension
