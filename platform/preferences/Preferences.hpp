#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Managed preferences: the values an administrator's profile sets for an application domain.
namespace vorla::preferences {

struct PropertyListValue;
using PropertyListArray = std::vector<PropertyListValue>;
using PropertyListDictionary = std::map<std::string, PropertyListValue>;

// A value of a property list with its type. Types the callers have no use for (dates, data)
// keep their place as `Other`, so that a caller can tell them from a missing value.
struct PropertyListValue {
    struct Other {
        friend bool operator==(const Other&, const Other&) = default;
    };
    // Integers are 64-bit two's complement, as stored in the list.
    std::variant<Other, bool, std::int64_t, double, std::string, PropertyListArray,
                 PropertyListDictionary>
        value;

    friend bool operator==(const PropertyListValue&, const PropertyListValue&) = default;
};

// The root of a property list, XML or binary. None when the bytes are not a property list, or
// nest deeper than any preference needs (64 levels).
std::optional<PropertyListValue> parsePropertyList(std::string_view bytes);

// The managed value of `key` in `domain`: the key of the root dictionary of
// <VORLA_ROOT>/Library/Managed Preferences/<domain>.plist. None when the file is missing or
// unreadable, is no dictionary, or lacks the key. Every call reads the file afresh.
std::optional<PropertyListValue> CFPreferencesCopyAppValue(std::string_view key,
                                                           std::string_view domain);

} // namespace vorla::preferences
