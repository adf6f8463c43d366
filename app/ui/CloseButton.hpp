#pragma once

#include "app/ui/FocusRing.hpp"
#include "app/ui/HoverButton.hpp"

namespace vorla::app {

// The quit button's face: a red dot that shows a cross while the pointer is over it. It takes
// the keyboard focus like any control, so the app can be quit without a mouse.
class CloseButton : public HoverButton, public FocusRingShape {
public:
    explicit CloseButton(QWidget* parent = nullptr);

    bool hovered() const { return pointerInside(); }
    QSize sizeHint() const override;
    // The ring follows the dot.
    QPainterPath focusRingShape() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF symbolBox() const;
};

} // namespace vorla::app
