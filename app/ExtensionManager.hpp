#pragma once

#include "app/Binding.hpp"
#include "app/ExtensionRequests.hpp"
#include "app/ExtensionState.hpp"

#include <memory>
#include <optional>
#include <string>

namespace vorla::app {

// The menu-bar side's one link to the system-extension service: it submits the requests and
// turns the answers into the state and the status line that the extension pane shows.
class ExtensionManager : public ExtensionRequests {
public:
    explicit ExtensionManager(system_extensions::Manager& service);

    // The pane hands over bindings to its own values when it is first shown; until then
    // status writes are skipped and the state reads initial.
    std::optional<Binding<std::string>> status;
    Binding<ExtensionState> state = Binding<ExtensionState>::constant(ExtensionState::initial);

    // Submits an activation unless nothing is known yet or the switch was already on.
    void activate(ExtensionState previous);

    system_extensions::ReplacementAction
    actionForReplacingExtension(const system_extensions::Request& request,
                                const system_extensions::Properties& existing,
                                const system_extensions::Properties& replacement) override;
    void requestNeedsUserApproval(const system_extensions::Request& request) override;
    void didFinishWithResult(const system_extensions::Request& request,
                             system_extensions::RequestResult result) override;
    void didFailWithError(const system_extensions::Request& request,
                          const system_extensions::Error& error) override;
    void foundProperties(const system_extensions::Request& request,
                         const std::vector<system_extensions::Properties>& properties) override;

private:
    void writeStatus(const std::string& text) const;
};

// Created on first use with the machine's service and never released.
ExtensionManager& sharedExtensionManager();

} // namespace vorla::app
