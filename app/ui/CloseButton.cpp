#include "app/ui/CloseButton.hpp"

#include "app/ui/resources/SymbolImage.hpp"

#include <QPainter>

namespace vorla::app {

namespace {
constexpr int symbolSize = 16;
}

CloseButton::CloseButton(QWidget* parent) : HoverButton(parent) {
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
}

QSize CloseButton::sizeHint() const {
    return {symbolSize, symbolSize};
}

void CloseButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor red = QColor::fromRgbF(1.0, 96.0 / 255.0, 92.0 / 255.0, 1.0);
    const QRectF box((width() - symbolSize) / 2.0, (height() - symbolSize) / 2.0, symbolSize,
                     symbolSize);
    drawSymbol(painter, hovered() ? "xmark.circle.fill" : "circle.fill", box, red);
}

} // namespace vorla::app
