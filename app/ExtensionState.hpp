#pragma once

#include "app/Binding.hpp"

namespace vorla::app {

// The extension's state as the app shows it.
enum class ExtensionState {
    initial,   // nothing known yet
    on,        // the user switched the extension on: an activation is asked for
    off,       // the user switched it off: a deactivation is asked for
    waiting,   // an activation waits for the user's approval
    silentOn,  // the service reports the extension enabled
    silentOff, // the service reports no enabled and no approval-pending copy
};

// The switch's view of a state: on while an activation is asked for, waits or is done.
bool isLoaded(ExtensionState state);

// The switch edits the state through this: reading maps the state, writing stores on or off.
Binding<bool> isLoaded(const Binding<ExtensionState>& state);

} // namespace vorla::app
