#pragma once

#include "platform/system_extensions/SystemExtensions.hpp"

#include <optional>
#include <string_view>
#include <vector>

// What the menu-bar side and the command line agree on: which reported copy of the extension
// counts, and how a failed request is put into words.
namespace vorla::app {

inline constexpr std::string_view vorlaExtensionIdentifier = "com.vorla.client.extension";

// The first record with exactly this identifier that is enabled or awaiting approval; a
// record that is neither does not count.
std::optional<system_extensions::Properties>
matchingProperties(const std::vector<system_extensions::Properties>& properties,
                   std::string_view identifier);

// The status line for a failed request, and the line the command line prints. An error
// that is not the service's own, or a code it does not define, gives "Unknown error".
std::string_view statusTextForError(const system_extensions::Error& error);
std::string_view commandLineMessageForError(const system_extensions::Error& error);

} // namespace vorla::app
