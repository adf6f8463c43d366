#pragma once

#include <concepts>
#include <initializer_list>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace vorla::logging {

class MetadataValue;

// Structured context of a record or a handler: keys to values, in no particular order.
using Metadata = std::unordered_map<std::string, MetadataValue>;

// A value that can describe itself as text; metadata keeps only that description in mind.
class CustomStringConvertible {
public:
    virtual ~CustomStringConvertible() = default;
    virtual std::string description() const = 0;
};

// One metadata value: a string, a describable value, a nested map or a list. Values are
// immutable, so nested maps and lists are shared between copies rather than copied.
class MetadataValue {
public:
    enum class Kind { string, stringConvertible, dictionary, array };
    using Array = std::vector<MetadataValue>;

    MetadataValue(std::string string);
    MetadataValue(const char* string);
    explicit MetadataValue(Metadata dictionary);
    explicit MetadataValue(Array array);

    // Holds a copy of `value`.
    template <std::derived_from<CustomStringConvertible> T>
    static MetadataValue stringConvertible(T value) {
        return MetadataValue(
            std::shared_ptr<const CustomStringConvertible>(std::make_shared<T>(std::move(value))));
    }

    // The literal form of a map. A repeated key is a programming error and stops the process,
    // since one of the two values would otherwise vanish unnoticed.
    static MetadataValue dictionary(std::initializer_list<std::pair<std::string, MetadataValue>>);
    static MetadataValue array(std::initializer_list<MetadataValue> elements);

    Kind kind() const { return static_cast<Kind>(payload_.index()); }

    // The payload of the matching kind, or null for a value of another kind.
    const std::string* stringValue() const;
    const Metadata* dictionaryValue() const;
    const Array* arrayValue() const;

    // The text form: a string as it is, a describable value's description, a map as
    // ["key": "value", ...] ([:] when empty), a list as ["value", ...] ([] when empty), nested
    // values quoted in their own text form.
    std::string description() const;

    // Values of different kinds differ; describable values compare by description.
    friend bool operator==(const MetadataValue& lhs, const MetadataValue& rhs);

private:
    explicit MetadataValue(std::shared_ptr<const CustomStringConvertible> convertible);

    std::variant<std::string, std::shared_ptr<const CustomStringConvertible>,
                 std::shared_ptr<const Metadata>, std::shared_ptr<const Array>>
        payload_;
};

} // namespace vorla::logging
