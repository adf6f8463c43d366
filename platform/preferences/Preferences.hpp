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

// The root of a property list, XML or binary. None when the bytes are not a property list, are
// larger than a profile may be (1 MiB), nest deeper than any preference needs (64 levels), or
// would expand beyond 100 000 objects or 4 MiB of strings and data (see PropertyListBounds.hpp).
std::optional<PropertyListValue> parsePropertyList(std::string_view bytes);

// The root dictionary of <VORLA_ROOT>/Library/Managed Preferences/<domain>.plist: every managed
// value of `domain` from one reading of the profile. None when the file is missing, no regular
// file, larger than 1 MiB or unreadable, or when its root is no dictionary.
std::optional<PropertyListDictionary> CFPreferencesCopyMultiple(std::string_view domain);

// The managed value of `key` in `domain`: the key of the dictionary above, or none when that is
// none or lacks the key. Every call reads the file afresh.
std::optional<PropertyListValue> CFPreferencesCopyAppValue(std::string_view key,
                                                           std::string_view domain);

} // namespace vorla::preferences
