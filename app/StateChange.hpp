#pragma once

#include "app/Binding.hpp"
#include "app/ExtensionManager.hpp"
#include "app/ExtensionState.hpp"

#include <string>

namespace vorla::app {

// The extension pane's answer to a change of the state: the request the change asks for
// (made first) and the status line it shows (always written).
void handleStateChange(ExtensionState newValue, ExtensionState previous,
                       const Binding<std::string>& status,
                       ExtensionManager& manager = sharedExtensionManager());

} // namespace vorla::app
