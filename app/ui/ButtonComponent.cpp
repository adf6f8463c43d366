#include "app/ui/ButtonComponent.hpp"

#include "app/ui/CopyButtoStyle.hpp"
#include "app/ui/Localized.hpp"

#include <QClipboard>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>

namespace vorla::app {

QFont CopyButtoStyle::font() {
    QFont font = systemFont(12, QFont::Medium);
    font.setLetterSpacing(QFont::AbsoluteSpacing, -0.5);
    return font;
}

ButtonComponent::ButtonComponent(std::string path, QClipboard& pasteboard, QWidget* parent)
    : QAbstractButton(parent), path_(std::move(path)), pasteboard_(pasteboard) {
    setText(localized("copy"));
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    QObject::connect(this, &QAbstractButton::clicked, [this] { copy(); });
}

QPainterPath ButtonComponent::focusRingShape() const {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), CopyButtoStyle::cornerRadius,
                         CopyButtoStyle::cornerRadius);
    return shape;
}

QSize ButtonComponent::sizeHint() const {
    return {55, 20};
}

// The clipboard then holds the path as its only item, in place of whatever it held before.
void ButtonComponent::copy() {
    auto* item = new QMimeData;
    item->setText(QString::fromStdString(path_));
    pasteboard_.setMimeData(item);
}

void ButtonComponent::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(focusRingShape(), CopyButtoStyle::background(isDown()));
    painter.setFont(CopyButtoStyle::font());
    painter.setPen(CopyButtoStyle::foreground());
    painter.drawText(rect(), Qt::AlignCenter, CopyButtoStyle::text(text()));
}

} // namespace vorla::app
