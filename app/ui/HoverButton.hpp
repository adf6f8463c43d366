#pragma once

#include <QAbstractButton>

namespace vorla::app {

// A button that keeps whether the pointer is over it, and repaints when that changes.
class HoverButton : public QAbstractButton {
public:
    using QAbstractButton::QAbstractButton;

protected:
    bool pointerInside() const { return pointerInside_; }

    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setPointerInside(bool inside);

    bool pointerInside_ = false;
};

} // namespace vorla::app
