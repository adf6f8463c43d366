#pragma once

#include "app/ui/HoverButton.hpp"

namespace vorla::app {

// The quit button's face: a red dot that shows a cross while the pointer is over it.
class CloseButton : public HoverButton {
public:
    explicit CloseButton(QWidget* parent = nullptr);

    bool hovered() const { return pointerInside(); }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vorla::app
