#include "app/StateChange.hpp"

#include <algorithm>
#include <initializer_list>

namespace vorla::app {

namespace {

bool isAnyOf(ExtensionState value, std::initializer_list<ExtensionState> candidates) {
    return std::find(candidates.begin(), candidates.end(), value) != candidates.end();
}

std::string textWhen(bool condition, const char* text) {
    return condition ? text : "";
}

} // namespace

void handleStateChange(ExtensionState newValue, ExtensionState previous,
                       const Binding<std::string>& status, ExtensionManager& manager) {
    using enum ExtensionState;
    switch (newValue) {
    case initial:
        status.set("");
        return;
    case on:
        manager.activate(previous);
        status.set(textWhen(isAnyOf(previous, {off, waiting, silentOff}), "successfully loaded"));
        return;
    case off:
        manager.deactivate();
        status.set(textWhen(isAnyOf(previous, {on, waiting, silentOn}), "Unloading started"));
        return;
    case waiting:
        status.set("Waiting for user approval");
        return;
    case silentOn:
        status.set(textWhen(previous == waiting, "successfully loaded"));
        return;
    case silentOff:
        status.set(textWhen(previous == off, "successfully unloaded"));
        return;
    }
}

} // namespace vorla::app
