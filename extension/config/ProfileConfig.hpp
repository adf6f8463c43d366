#pragma once

#include "extension/config/Config.hpp"
#include "extension/config/Muting.hpp"
#include "platform/preferences/Preferences.hpp"

#include <memory>
#include <string_view>
#include <vector>

namespace vorla::extension {

// The configuration that a managed profile sets for `domain`. A key that is absent, or whose
// value has another type or lies outside its field's range, takes its fallback value, which
// validation then reports where it is not usable. Always yields a configuration.
std::shared_ptr<Config> readProfileConfig(std::string_view domain);

// The muting targets of a profile's list of {"Path", "Type"} dictionaries, in their order. An
// entry without both keys, or whose type is not exactly "prefix" or "literal", is left out.
std::vector<MutePath>
mutePathsFromProfile(const std::vector<preferences::PropertyListDictionary>& list);

} // namespace vorla::extension
