#include "app/ui/ExtensionToggle.hpp"

#include "app/ui/Appearance.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>

#include <algorithm>
#include <cmath>

namespace vorla::app {

namespace {
using Style = ExtensionToggleStyle;

qreal offsetFor(bool on) {
    return on ? Style::knobOffset : -Style::knobOffset;
}
} // namespace

ExtensionToggle::ExtensionToggle(ExtensionToggleStyle style, bool on, QWidget* parent)
    : QAbstractButton(parent), style_(std::move(style)), on_(on), knobOffset_(offsetFor(on)),
      knobAnimation_(new QPropertyAnimation(this, "knobOffset", this)) {
    knobAnimation_->setDuration(static_cast<int>(style_.animation.count()));
    knobAnimation_->setEasingCurve(QEasingCurve::Linear);
    setFont(textStyleFont(TextStyle::headline));
    setText(caption());
    setFixedSize(sizeHint());
}

void ExtensionToggle::setOn(bool on) {
    if (on == on_) {
        return;
    }
    on_ = on;
    setText(caption());
    knobAnimation_->stop();
    knobAnimation_->setStartValue(knobOffset_);
    knobAnimation_->setEndValue(offsetFor(on_));
    knobAnimation_->start();
}

void ExtensionToggle::setKnobOffset(qreal offset) {
    knobOffset_ = offset;
    update();
}

int ExtensionToggle::captionWidth() const {
    const QFontMetrics metrics(font());
    return std::max(metrics.horizontalAdvance(style_.loaded),
                    metrics.horizontalAdvance(style_.unloaded));
}

QRect ExtensionToggle::trackRect() const {
    return {captionWidth() + Style::captionSpacing, 0, Style::trackWidth, Style::trackHeight};
}

QSize ExtensionToggle::sizeHint() const {
    return {captionWidth() + Style::captionSpacing + Style::trackWidth, Style::trackHeight};
}

bool ExtensionToggle::hitButton(const QPoint& position) const {
    return trackRect().contains(position);
}

void ExtensionToggle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintCaption(painter);
    paintTrack(painter);
}

// The new caption slides in from the leading edge while the old one leaves at the trailing
// edge, in step with the knob.
void ExtensionToggle::paintCaption(QPainter& painter) const {
    const int width = captionWidth();
    const qreal travel = 2 * Style::knobOffset;
    const qreal progress = std::clamp(std::abs(knobOffset_ - offsetFor(!on_)) / travel, 0.0, 1.0);
    painter.save();
    painter.setClipRect(QRect(0, 0, width, height()));
    painter.setFont(font());
    painter.setPen(primaryText(*this));
    const QRectF slot(0, 0, width, height());
    painter.drawText(slot.translated(-width * (1 - progress), 0), Qt::AlignRight | Qt::AlignVCenter,
                     caption());
    if (progress < 1) {
        painter.drawText(slot.translated(width * progress, 0), Qt::AlignRight | Qt::AlignVCenter,
                         on_ ? style_.unloaded : style_.loaded);
    }
    painter.restore();
}

QPainterPath ExtensionToggle::focusRingShape() const {
    const QRectF track = trackRect();
    const qreal radius = std::min<qreal>(Style::trackCornerRadius, track.height() / 2);
    QPainterPath shape;
    shape.addRoundedRect(track, radius, radius);
    return shape;
}

void ExtensionToggle::paintTrack(QPainter& painter) const {
    const QRectF track = trackRect();
    painter.save();
    painter.setClipPath(focusRingShape());
    painter.fillRect(track, on_ ? systemBlue() : systemGrey());
    const qreal knobSize = track.height() - 2 * Style::knobPadding;
    const QPointF centre = track.center() + QPointF(knobOffset_, 0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, knobSize / 2, knobSize / 2);
    painter.restore();
}

} // namespace vorla::app
