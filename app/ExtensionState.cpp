#include "app/ExtensionState.hpp"

namespace vorla::app {

bool isLoaded(ExtensionState state) {
    return state == ExtensionState::on || state == ExtensionState::waiting ||
           state == ExtensionState::silentOn;
}

Binding<bool> isLoaded(const Binding<ExtensionState>& state) {
    return Binding<bool>([state] { return isLoaded(state.get()); },
                         [state](const bool& loaded) {
                             state.set(loaded ? ExtensionState::on : ExtensionState::off);
                         });
}

} // namespace vorla::app
