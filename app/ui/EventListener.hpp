#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

class QMouseEvent;

namespace vorla::app {

// Watches for mouse-down events that happen outside the app's windows (the popover, the status
// item), the way a global event monitor does, and leaves each click to whatever it was meant
// for. On X11 the X server tells of every press on the display (see DesktopClickWatcher).
// Elsewhere the desktop gives an application no clicks of other applications, except while one
// of its windows holds the pointer: such a click reaches that window with a position outside
// all of the app's windows. An event filter on the whole application passes those on, on every
// desktop.
class EventListener {
public:
    // Event-type bits of the mask, numbered as the event types they stand for.
    static constexpr std::uint64_t leftMouseDown = std::uint64_t{1} << 1;
    static constexpr std::uint64_t rightMouseDown = std::uint64_t{1} << 3;
    static constexpr std::uint64_t otherMouseDown = std::uint64_t{1} << 25;

    // The handler receives the event, or nothing when there is none to give.
    using Handler = std::function<void(const QMouseEvent* event)>;

    EventListener(std::uint64_t mask, Handler handler);
    ~EventListener();
    EventListener(const EventListener&) = delete;
    EventListener& operator=(const EventListener&) = delete;

    // Installs the monitor; a monitor that is still installed is replaced, so there is never
    // more than one.
    void start();
    // Removes the monitor when one is installed.
    void stop();

    bool isMonitoring() const { return monitor_ != nullptr; }
    std::uint64_t mask() const { return mask_; }

private:
    std::unique_ptr<QObject> monitor_;
    std::uint64_t mask_;
    Handler handler_;
};

} // namespace vorla::app
