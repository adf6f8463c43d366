#pragma once

#include "app/ui/XcbConnection.hpp"

#include <QPoint>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace vorla::app {

// Hears of every mouse-button press on an X11 display, in whichever application's window it
// happens, without taking it from that window: the X server's input extension reports each
// press as a raw event to a listener on the root window, besides delivering it as usual.
class DesktopClickWatcher {
public:
    // The button, and where the pointer was, in the toolkit's device-independent coordinates.
    using OnPress = std::function<void(Qt::MouseButton button, QPoint position)>;

    // A watcher, or nothing when the app is not on X11 or the server cannot report raw presses.
    static std::unique_ptr<DesktopClickWatcher> start(OnPress onPress);

    ~DesktopClickWatcher();
    DesktopClickWatcher(const DesktopClickWatcher&) = delete;
    DesktopClickWatcher& operator=(const DesktopClickWatcher&) = delete;

private:
    DesktopClickWatcher(std::unique_ptr<XcbConnection> connection, xcb_window_t root,
                        std::uint8_t inputOpcode, OnPress onPress);
    void readEvents();
    QPoint pointerPosition() const;

    std::unique_ptr<XcbConnection> connection_;
    xcb_window_t root_;
    std::uint8_t inputOpcode_;
    OnPress onPress_;
    std::unique_ptr<QSocketNotifier> notifier_;
    // Cleared when the watcher ends, which the press handler may do.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A position of the X server, which counts in device pixels, in the toolkit's device-independent
// coordinates; a position on no screen stays as it is.
QPoint deviceIndependent(const QPoint& devicePosition);

} // namespace vorla::app
