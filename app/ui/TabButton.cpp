#include "app/ui/TabButton.hpp"

#include "app/ui/Localized.hpp"
#include "app/ui/Watch.hpp"
#include "app/ui/resources/SymbolImage.hpp"

#include <QPainter>
#include <QPainterPath>

namespace vorla::app {

namespace {
// The label is a 50 x 35 stack with 4 points of padding around it.
constexpr int labelWidth = 50;
constexpr int labelHeight = 35;
constexpr int padding = 4;
constexpr int symbolSize = 22;
constexpr int captionSize = 10;
} // namespace

TabButton::TabButton(TabData data, Observable<std::int64_t> selectedIndex, QWidget* parent)
    : HoverButton(parent), data_(std::move(data)), selectedIndex_(std::move(selectedIndex)) {
    setText(localized(data_.label.c_str()));
    setFixedSize(sizeHint());
    // A click focuses the tab too, so that Space then acts on the tab that was clicked.
    setFocusPolicy(Qt::StrongFocus);
    QObject::connect(this, &QAbstractButton::clicked, [this] { selectedIndex_.set(data_.index); });
    watch<std::int64_t, TabButton>(selectedIndex_, this,
                                   [](TabButton& button, auto&, auto&) { button.update(); });
}

TabButtonStyle TabButton::style() const {
    return {selectedIndex_.get(), data_.index, colorScheme(*this), hovering()};
}

QPainterPath TabButton::focusRingShape() const {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), TabButtonStyle::cornerRadius,
                         TabButtonStyle::cornerRadius);
    return shape;
}

QSize TabButton::sizeHint() const {
    return {labelWidth + 2 * padding, labelHeight + 2 * padding};
}

void TabButton::paintEvent(QPaintEvent*) {
    const TabButtonStyle look = style();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF bounds = rect();
    painter.setClipPath(focusRingShape());

    const QColor foreground = look.foreground(primaryText(*this));
    const QFont captionFont = systemFont(captionSize);
    const int captionHeight = QFontMetrics(captionFont).height();
    const double top = padding + (labelHeight - symbolSize - captionHeight) / 2.0;
    drawSymbol(painter, data_.image,
               QRectF((width() - symbolSize) / 2.0, top, symbolSize, symbolSize), foreground);
    painter.setFont(captionFont);
    painter.setPen(foreground);
    painter.drawText(QRectF(0, top + symbolSize, width(), captionHeight), Qt::AlignCenter, text());

    if (const auto outline = look.outline()) {
        // The stroke is centred on the edge; keep all of it inside the clip.
        const double inset = TabButtonStyle::outlineWidth / 2;
        QPen pen(*outline, TabButtonStyle::outlineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setMiterLimit(10);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bounds.adjusted(inset, inset, -inset, -inset),
                                TabButtonStyle::cornerRadius, TabButtonStyle::cornerRadius);
    }
}

} // namespace vorla::app
