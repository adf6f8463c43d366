#include "app/ui/EventListener.hpp"

#include "app/ui/DesktopClickWatcher.hpp"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>

namespace vorla::app {

namespace {

std::uint64_t eventTypeBit(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return EventListener::leftMouseDown;
    case Qt::RightButton:
        return EventListener::rightMouseDown;
    default:
        return EventListener::otherMouseDown;
    }
}

// The status item is a window of the app too, embedded in the desktop's tray: its own
// geometry is relative to the tray, so each window is placed on the screen by mapping.
bool isOverAppWindow(const QPoint& position) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), [&position](const QWidget* window) {
        return window->isVisible() &&
               QRect(window->mapToGlobal(QPoint(0, 0)), window->size()).contains(position);
    });
}

class ClickMonitor : public QObject {
public:
    ClickMonitor(std::uint64_t mask, EventListener::Handler handler)
        : mask_(mask), handler_(std::move(handler)),
          desktop_(DesktopClickWatcher::start([this](Qt::MouseButton button, QPoint position) {
              const QMouseEvent press(QEvent::MouseButtonPress, position, position, button, button,
                                      Qt::NoModifier);
              passOn(press);
          })) {}

    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress && receiver->isWidgetType()) {
            passOn(*static_cast<QMouseEvent*>(event));
        }
        // A monitor only watches: the click goes on to wherever it was going.
        return false;
    }

private:
    // The same press may come from the desktop and from the app's own event; the handler stops
    // the listener at the first, which ends this monitor and so the second's delivery.
    void passOn(const QMouseEvent& press) {
        if ((eventTypeBit(press.button()) & mask_) == 0 ||
            isOverAppWindow(press.globalPosition().toPoint())) {
            return;
        }
        // The handler usually stops the listener, which destroys this monitor: call a copy and
        // touch no member afterwards.
        const EventListener::Handler handler = handler_;
        handler(&press);
    }

    std::uint64_t mask_;
    EventListener::Handler handler_;
    std::unique_ptr<DesktopClickWatcher> desktop_;
};

} // namespace

EventListener::EventListener(std::uint64_t mask, Handler handler)
    : mask_(mask), handler_(std::move(handler)) {}

EventListener::~EventListener() {
    stop();
}

void EventListener::start() {
    stop();
    monitor_ = std::make_unique<ClickMonitor>(mask_, handler_);
    QCoreApplication::instance()->installEventFilter(monitor_.get());
}

void EventListener::stop() {
    if (monitor_) {
        QCoreApplication::instance()->removeEventFilter(monitor_.get());
        monitor_.reset();
    }
}

} // namespace vorla::app
