#include "app/ExtensionManager.hpp"
#include "app/ExtensionRules.hpp"

namespace vorla::app {

using system_extensions::Request;
using system_extensions::RequestResult;

ExtensionManager::ExtensionManager(system_extensions::Manager& service)
    : ExtensionRequests(service) {}

void ExtensionManager::writeStatus(const std::string& text) const {
    if (status) {
        status->set(text);
    }
}

void ExtensionManager::activate(ExtensionState previous) {
    if (state.get() != ExtensionState::initial && previous != ExtensionState::on) {
        submitActivation();
    } else {
        writeStatus("");
    }
}

system_extensions::ReplacementAction
ExtensionManager::actionForReplacingExtension(const Request&, const system_extensions::Properties&,
                                              const system_extensions::Properties&) {
    writeStatus("Extension is being replaced");
    return system_extensions::ReplacementAction::replace;
}

void ExtensionManager::requestNeedsUserApproval(const Request&) {
    state.set(ExtensionState::waiting);
}

void ExtensionManager::didFinishWithResult(const Request&, RequestResult result) {
    switch (result) {
    case RequestResult::completed: {
        const ExtensionState current = state.get();
        writeStatus(current == ExtensionState::on || current == ExtensionState::waiting
                        ? "successfully loaded"
                        : "successfully unloaded");
        return;
    }
    case RequestResult::willCompleteAfterReboot:
        writeStatus("vorla will only load after a reboot");
        return;
    }
    writeStatus("unknown result");
}

void ExtensionManager::didFailWithError(const Request&, const system_extensions::Error& error) {
    writeStatus(std::string(statusTextForError(error)));
}

void ExtensionManager::foundProperties(
    const Request&, const std::vector<system_extensions::Properties>& properties) {
    const auto match = matchingProperties(properties, extensionIdentifier);
    if (!match) {
        state.set(ExtensionState::silentOff);
    } else {
        state.set(match->isAwaitingUserApproval ? ExtensionState::waiting
                                                : ExtensionState::silentOn);
    }
}

ExtensionManager& sharedExtensionManager() {
    // Never released: requests still on their way may answer it while the app ends.
    static const auto* const manager = new std::shared_ptr<ExtensionManager>(
        std::make_shared<ExtensionManager>(system_extensions::Manager::shared()));
    return **manager;
}

} // namespace vorla::app
