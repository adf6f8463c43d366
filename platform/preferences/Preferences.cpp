#include "platform/preferences/Preferences.hpp"

#include "platform/environment/Environment.hpp"
#include "platform/preferences/ProfileFile.hpp"
#include "platform/preferences/PropertyListBounds.hpp"

#include <cstdlib>
#include <memory>
#include <plist/plist.h>

namespace vorla::preferences {

namespace {

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistRoot = std::unique_ptr<void, PlistDeleter>;

struct FreeDeleter {
    void operator()(char* text) const { std::free(text); }
};
using CString = std::unique_ptr<char, FreeDeleter>;

std::optional<PropertyListValue> convert(plist_t node, int depth);

std::optional<PropertyListValue> convertArray(plist_t node, int depth) {
    PropertyListArray items;
    const std::uint32_t size = plist_array_get_size(node);
    for (std::uint32_t index = 0; index < size; ++index) {
        auto item = convert(plist_array_get_item(node, index), depth + 1);
        if (!item) {
            return std::nullopt;
        }
        items.push_back(std::move(*item));
    }
    return PropertyListValue{std::move(items)};
}

std::optional<PropertyListValue> convertDictionary(plist_t node, int depth) {
    PropertyListDictionary entries;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    if (!iterator) {
        return std::nullopt;
    }
    const std::unique_ptr<void, decltype(&std::free)> iteratorOwner(iterator, &std::free);
    for (;;) {
        char* rawKey = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iterator, &rawKey, &item);
        const CString key(rawKey);
        if (!item) {
            break;
        }
        auto converted = convert(item, depth + 1);
        if (!key || !converted) {
            return std::nullopt;
        }
        entries.insert_or_assign(key.get(), std::move(*converted));
    }
    return PropertyListValue{std::move(entries)};
}

std::optional<PropertyListValue> convert(plist_t node, int depth) {
    if (!node || depth > maximumNesting) {
        return std::nullopt;
    }
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return PropertyListValue{value != 0};
    }
    case PLIST_UINT: {
        std::uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // Negative numbers are stored as their two's complement.
        return PropertyListValue{static_cast<std::int64_t>(value)};
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return PropertyListValue{value};
    }
    case PLIST_STRING: {
        // Read through the pointer and length: a string with a zero byte inside trips an
        // assertion in the library's copying accessor. Such a string names nothing we use.
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        const std::string_view bytes = text ? std::string_view(text, length) : std::string_view();
        if (bytes.find('\0') != std::string_view::npos) {
            return PropertyListValue{PropertyListValue::Other{}};
        }
        return PropertyListValue{std::string(bytes)};
    }
    case PLIST_ARRAY:
        return convertArray(node, depth);
    case PLIST_DICT:
        return convertDictionary(node, depth);
    default:
        return PropertyListValue{PropertyListValue::Other{}};
    }
}

} // namespace

std::optional<PropertyListValue> parsePropertyList(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > maximumPropertyListSize) {
        return std::nullopt;
    }
    // The library's parsers recurse and expand without bounds, so each format is checked before
    // it is handed over. The formats no check covers (JSON, the older text form) are not read:
    // whatever is not a binary list goes to the XML parser, which refuses them.
    const auto length = static_cast<std::uint32_t>(bytes.size());
    plist_t raw = nullptr;
    if (bytes.starts_with("bplist00")) {
        if (binaryWithinBounds(bytes)) {
            plist_from_bin(bytes.data(), length, &raw);
        }
    } else if (xmlWithinBounds(bytes)) {
        plist_from_xml(bytes.data(), length, &raw);
    }
    const PlistRoot parsed(raw);
    if (!raw) {
        return std::nullopt;
    }
    // A dictionary key with a zero byte inside trips an assertion in the library's key
    // accessor. The library's own XML form cannot carry such a key, so every list is read
    // back from that form before its values are taken.
    char* xml = nullptr;
    std::uint32_t xmlLength = 0;
    plist_to_xml(raw, &xml, &xmlLength);
    const CString xmlOwner(xml);
    if (!xml) {
        return std::nullopt;
    }
    plist_t clean = nullptr;
    plist_from_xml(xml, xmlLength, &clean);
    const PlistRoot cleaned(clean);
    return convert(clean, 0);
}

std::optional<PropertyListDictionary> CFPreferencesCopyMultiple(std::string_view domain) {
    // A domain is a single file name; anything that would leave the folder names no domain.
    if (domain.empty() || domain.find('/') != std::string_view::npos || domain == "." ||
        domain == "..") {
        return std::nullopt;
    }
    const auto contents = profileBytes(platform::systemPath("/Library/Managed Preferences/") +
                                       std::string(domain) + ".plist");
    auto root = contents ? parsePropertyList(*contents) : std::nullopt;
    auto* dictionary = root ? std::get_if<PropertyListDictionary>(&root->value) : nullptr;
    if (!dictionary) {
        return std::nullopt;
    }
    return std::move(*dictionary);
}

std::optional<PropertyListValue> CFPreferencesCopyAppValue(std::string_view key,
                                                           std::string_view domain) {
    const auto dictionary = CFPreferencesCopyMultiple(domain);
    if (!dictionary) {
        return std::nullopt;
    }
    const auto found = dictionary->find(std::string(key));
    if (found == dictionary->end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace vorla::preferences
