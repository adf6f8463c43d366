#include "app/ui/EventListener.hpp"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

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

class ClickMonitor : public QObject {
public:
    ClickMonitor(std::uint64_t mask, EventListener::Handler handler)
        : mask_(mask), handler_(std::move(handler)) {}

    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress || !receiver->isWidgetType()) {
            return false;
        }
        const auto* press = static_cast<QMouseEvent*>(event);
        const QWidget* window = static_cast<QWidget*>(receiver)->window();
        const bool elsewhere = !window->frameGeometry().contains(press->globalPosition().toPoint());
        if (elsewhere && (eventTypeBit(press->button()) & mask_) != 0) {
            // The handler usually stops the listener, which destroys this monitor: call a copy
            // and touch no member afterwards.
            const EventListener::Handler handler = handler_;
            handler(press);
        }
        // A monitor only watches: the click goes on to wherever it was going.
        return false;
    }

private:
    std::uint64_t mask_;
    EventListener::Handler handler_;
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
