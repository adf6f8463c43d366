#include "app/ui/AppDelegate.hpp"

#include "app/ui/ContentView.hpp"
#include "app/ui/resources/SymbolImage.hpp"

#include <QSystemTrayIcon>

namespace vorla::app {

AppDelegate::AppDelegate(ExtensionManager& manager, BundleInfo bundle)
    : manager_(manager), bundle_(std::move(bundle)) {}

void AppDelegate::setUpStatusBar(bool hasSystemTray) {
    popover_.setContentView(new ContentView(manager_, bundle_));

    std::unique_ptr<QSystemTrayIcon> statusItem;
    if (hasSystemTray) {
        statusItem = std::make_unique<QSystemTrayIcon>(menuBarImage());
        statusItem->setToolTip(QStringLiteral("vorla"));
        statusItem->show();
    }
    auto controller = std::make_unique<StatusBarController>(std::move(statusItem), popover_);
    controller->setEventMonitor(std::make_unique<EventListener>(
        outsideClickMask, [controller = controller.get()](const QMouseEvent* event) {
            controller->closeOnOutsideClick(event);
        }));
    statusBar_ = std::move(controller);
}

} // namespace vorla::app
