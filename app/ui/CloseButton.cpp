#include "app/ui/CloseButton.hpp"

#include "app/ui/resources/SymbolImage.hpp"

#include <QKeyEvent>
#include <QPainter>

namespace vorla::app {

namespace {
constexpr int symbolSize = 16;
}

CloseButton::CloseButton(QWidget* parent) : HoverButton(parent) {
    setCursor(Qt::ArrowCursor);
}

QSize CloseButton::sizeHint() const {
    return {symbolSize, symbolSize};
}

QRectF CloseButton::symbolBox() const {
    return {(width() - symbolSize) / 2.0, (height() - symbolSize) / 2.0, symbolSize, symbolSize};
}

QPainterPath CloseButton::focusRingShape() const {
    QPainterPath shape;
    shape.addEllipse(symbolBox());
    return shape;
}

void CloseButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor red = QColor::fromRgbF(1.0, 96.0 / 255.0, 92.0 / 255.0, 1.0);
    drawSymbol(painter, hovered() ? "xmark.circle.fill" : "circle.fill", symbolBox(), red);
}

// A button acts on Space by itself; Return, which a person tries first on the one button that
// ends the app, acts the same.
void CloseButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    HoverButton::keyPressEvent(event);
}

} // namespace vorla::app
