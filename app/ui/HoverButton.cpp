#include "app/ui/HoverButton.hpp"

namespace vorla::app {

void HoverButton::enterEvent(QEnterEvent* event) {
    setPointerInside(true);
    QAbstractButton::enterEvent(event);
}

void HoverButton::leaveEvent(QEvent* event) {
    setPointerInside(false);
    QAbstractButton::leaveEvent(event);
}

void HoverButton::setPointerInside(bool inside) {
    pointerInside_ = inside;
    update();
}

} // namespace vorla::app
