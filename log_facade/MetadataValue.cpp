#include "log_facade/MetadataValue.hpp"

#include "log_facade/TextEscaping.hpp"

#include <cstdlib>

namespace vorla::logging {

MetadataValue::MetadataValue(std::string string) : payload_(std::move(string)) {}

MetadataValue::MetadataValue(const char* string) : payload_(std::string(string)) {}

MetadataValue::MetadataValue(Metadata dictionary)
    : payload_(std::make_shared<const Metadata>(std::move(dictionary))) {}

MetadataValue::MetadataValue(Array array)
    : payload_(std::make_shared<const Array>(std::move(array))) {}

MetadataValue::MetadataValue(std::shared_ptr<const CustomStringConvertible> convertible)
    : payload_(std::move(convertible)) {}

MetadataValue
MetadataValue::dictionary(std::initializer_list<std::pair<std::string, MetadataValue>> entries) {
    Metadata map;
    for (const auto& [key, value] : entries) {
        if (!map.emplace(key, value).second) {
            std::abort();
        }
    }
    return MetadataValue(std::move(map));
}

MetadataValue MetadataValue::array(std::initializer_list<MetadataValue> elements) {
    return MetadataValue(Array(elements));
}

const std::string* MetadataValue::stringValue() const {
    return std::get_if<std::string>(&payload_);
}

const Metadata* MetadataValue::dictionaryValue() const {
    const auto* map = std::get_if<std::shared_ptr<const Metadata>>(&payload_);
    return map ? map->get() : nullptr;
}

const MetadataValue::Array* MetadataValue::arrayValue() const {
    const auto* array = std::get_if<std::shared_ptr<const Array>>(&payload_);
    return array ? array->get() : nullptr;
}

std::string MetadataValue::description() const {
    switch (kind()) {
    case Kind::string:
        return std::get<std::string>(payload_);
    case Kind::stringConvertible:
        return std::get<std::shared_ptr<const CustomStringConvertible>>(payload_)->description();
    case Kind::dictionary: {
        const Metadata& map = *dictionaryValue();
        if (map.empty()) {
            return "[:]";
        }
        std::string text = "[";
        const char* separator = "";
        for (const auto& [key, value] : map) {
            text += separator;
            text += quoted(key);
            text += ": ";
            text += quoted(value.description());
            separator = ", ";
        }
        return text + "]";
    }
    case Kind::array: {
        std::string text = "[";
        const char* separator = "";
        for (const MetadataValue& element : *arrayValue()) {
            text += separator;
            text += quoted(element.description());
            separator = ", ";
        }
        return text + "]";
    }
    }
    return {};
}

bool operator==(const MetadataValue& lhs, const MetadataValue& rhs) {
    if (lhs.kind() != rhs.kind()) {
        return false;
    }
    switch (lhs.kind()) {
    case MetadataValue::Kind::string:
        return *lhs.stringValue() == *rhs.stringValue();
    case MetadataValue::Kind::stringConvertible:
        return lhs.description() == rhs.description();
    case MetadataValue::Kind::dictionary:
        return *lhs.dictionaryValue() == *rhs.dictionaryValue();
    case MetadataValue::Kind::array:
        return *lhs.arrayValue() == *rhs.arrayValue();
    }
    return false;
}

} // namespace vorla::logging
