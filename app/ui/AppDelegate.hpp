#pragma once

#include "app/ExtensionManager.hpp"
#include "app/ui/BundleInfo.hpp"
#include "app/ui/Popover.hpp"
#include "app/ui/StatusBarController.hpp"

#include <memory>

namespace vorla::app {

// Builds the menu-bar side once the app has launched: the popover with its content, the
// status item and the (idle) outside-click monitor. They live until the app ends.
class AppDelegate {
public:
    // The mask of the outside-click monitor: left and right mouse down.
    static constexpr std::uint64_t outsideClickMask =
        EventListener::leftMouseDown | EventListener::rightMouseDown;

    AppDelegate(ExtensionManager& manager, BundleInfo bundle);

    // The status item gets a button (a tray icon) only when the desktop has a system tray.
    void setUpStatusBar(bool hasSystemTray);

    Popover& popover() { return popover_; }
    StatusBarController* statusBar() const { return statusBar_.get(); }

private:
    ExtensionManager& manager_;
    BundleInfo bundle_;
    // The popover outlives the controller that refers to it.
    Popover popover_;
    std::unique_ptr<StatusBarController> statusBar_;
};

} // namespace vorla::app
