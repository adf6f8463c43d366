#include "app/ui/StatusBarController.hpp"

#include "app/ui/Popover.hpp"

#include <QSystemTrayIcon>

namespace vorla::app {

StatusBarController::StatusBarController(std::unique_ptr<QSystemTrayIcon> statusItem,
                                         Popover& popover)
    : statusItem_(std::move(statusItem)), popover_(popover) {
    if (statusItem_) {
        QObject::connect(statusItem_.get(), &QSystemTrayIcon::activated, statusItem_.get(),
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             // Each click acts, however soon it follows the one before: the
                             // second of two quick clicks comes as a double click.
                             if (reason == QSystemTrayIcon::Trigger ||
                                 reason == QSystemTrayIcon::DoubleClick) {
                                 togglePopover();
                             }
                         });
    }
}

StatusBarController::~StatusBarController() = default;

void StatusBarController::togglePopover() {
    if (popover_.isShown()) {
        closePopover();
    } else if (statusItem_) {
        popover_.showRelativeTo(statusItem_->geometry());
        if (eventMonitor_) {
            eventMonitor_->start();
        }
    }
}

void StatusBarController::closeOnOutsideClick(const QMouseEvent* event) {
    if (popover_.isShown() && event) {
        closePopover();
    }
}

void StatusBarController::closePopover() {
    popover_.performClose();
    if (eventMonitor_) {
        eventMonitor_->stop();
    }
}

void StatusBarController::setEventMonitor(std::unique_ptr<EventListener> monitor) {
    eventMonitor_ = std::move(monitor);
}

} // namespace vorla::app
