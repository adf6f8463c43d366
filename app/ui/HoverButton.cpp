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

// A hidden window hears no more of the pointer: the popover closed with Escape while the
// pointer was on this button would otherwise show the hover look at its next opening.
void HoverButton::hideEvent(QHideEvent* event) {
    setPointerInside(false);
    QAbstractButton::hideEvent(event);
}

void HoverButton::setPointerInside(bool inside) {
    pointerInside_ = inside;
    update();
}

} // namespace vorla::app
