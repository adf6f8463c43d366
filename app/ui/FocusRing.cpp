#include "app/ui/FocusRing.hpp"

#include "app/ui/Appearance.hpp"

#include <QApplication>
#include <QFocusEvent>
#include <QPainter>
#include <QPainterPathStroker>

namespace vorla::app {

namespace {
constexpr double cornerRadius = 4;
constexpr int ringAlpha = 170;
// Room for the ring and its antialiased edge.
constexpr int margin = FocusRing::ringWidth + 1;
} // namespace

FocusRing::FocusRing(QWidget* area) : QWidget(area), area_(area) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    // Only focus events tell how the focus came; the toolkit's own keyboard-focus mark stays
    // set for good once Tab was pressed in a window.
    qApp->installEventFilter(this);
}

FocusRing::~FocusRing() {
    qApp->removeEventFilter(this);
}

// Toolkit buttons draw a faint focus of their own; the ring goes around them all the same, so
// every control shows the focus alike.
void FocusRing::follow(QWidget* focused, bool byKeyboard) {
    if (!byKeyboard || !area_->isAncestorOf(focused)) {
        target_ = nullptr;
        hide();
        return;
    }
    target_ = focused;
    place();
    raise();
    show();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (watched->isWidgetType()) {
            follow(static_cast<QWidget*>(watched),
                   reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason);
        }
        break;
    }
    case QEvent::FocusOut:
    case QEvent::Hide:
        if (watched == target_) {
            follow(nullptr, false);
        }
        break;
    case QEvent::Move:
    case QEvent::Resize:
        // The control, or a widget between it and the area, moved or changed size.
        if (target_ && watched->isWidgetType() &&
            (watched == target_ || static_cast<QWidget*>(watched)->isAncestorOf(target_))) {
            place();
        }
        break;
    default:
        break;
    }
    return false;
}

void FocusRing::place() {
    if (!target_) {
        return;
    }
    const QRect bounds = targetShape().boundingRect().toAlignedRect().marginsAdded(
        QMargins(margin, margin, margin, margin));
    origin_ = bounds.topLeft();
    setGeometry(bounds.translated(target_->mapTo(area_, QPoint(0, 0))));
    update();
}

QPainterPath FocusRing::targetShape() const {
    QPainterPath shape;
    if (const auto* own = dynamic_cast<const FocusRingShape*>(target_.data())) {
        shape = own->focusRingShape();
    } else {
        shape.addRoundedRect(QRectF(target_->rect()), cornerRadius, cornerRadius);
    }
    return shape;
}

// The ring lies outside the shape, so the control itself stays as it is drawn.
void FocusRing::paintEvent(QPaintEvent*) {
    if (!target_) {
        return;
    }
    const QPainterPath shape = targetShape().translated(-origin_);
    QPainterPathStroker stroker;
    stroker.setWidth(2 * ringWidth);
    stroker.setJoinStyle(Qt::RoundJoin);
    const QPainterPath ring = stroker.createStroke(shape).united(shape).subtracted(shape);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor colour = systemBlue();
    colour.setAlpha(ringAlpha);
    painter.fillPath(ring, colour);
}

} // namespace vorla::app
