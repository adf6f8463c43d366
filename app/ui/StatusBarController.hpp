#pragma once

#include "app/ui/EventListener.hpp"

#include <memory>

class QMouseEvent;
class QSystemTrayIcon;

namespace vorla::app {

class Popover;

// Opens and closes the popover from the status item, and closes it on a click elsewhere.
// The status item is the desktop's system-tray icon; without a system tray there is no icon
// to click, and toggling does nothing.
class StatusBarController {
public:
    StatusBarController(std::unique_ptr<QSystemTrayIcon> statusItem, Popover& popover);
    ~StatusBarController();
    StatusBarController(const StatusBarController&) = delete;
    StatusBarController& operator=(const StatusBarController&) = delete;

    // The status item's action.
    void togglePopover();
    // The outside-click handler of the event monitor; the event may be absent.
    void closeOnOutsideClick(const QMouseEvent* event);

    void setEventMonitor(std::unique_ptr<EventListener> monitor);
    EventListener* eventMonitor() const { return eventMonitor_.get(); }
    QSystemTrayIcon* statusItem() const { return statusItem_.get(); }

private:
    void closePopover();

    std::unique_ptr<QSystemTrayIcon> statusItem_;
    Popover& popover_;
    std::unique_ptr<EventListener> eventMonitor_;
};

} // namespace vorla::app
