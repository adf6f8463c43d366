#pragma once

#include "app/ui/ExtensionToggleStyle.hpp"
#include "app/ui/FocusRing.hpp"

#include <QAbstractButton>

class QPropertyAnimation;

namespace vorla::app {

// The extension pane's large switch: a caption, then a blue or grey track with a white knob.
// A click on the track asks for the other position (clicked()); the owner decides and calls
// setOn(), which moves the knob and slides the caption with the style's animation.
class ExtensionToggle : public QAbstractButton, public FocusRingShape {
    Q_OBJECT
    Q_PROPERTY(qreal knobOffset READ knobOffset WRITE setKnobOffset)

public:
    ExtensionToggle(ExtensionToggleStyle style, bool on, QWidget* parent = nullptr);

    bool isOn() const { return on_; }
    void setOn(bool on);
    QString caption() const { return on_ ? style_.loaded : style_.unloaded; }
    QRect trackRect() const;

    // The knob's horizontal offset from the track's centre: +12 on, -12 off, between the two
    // while it moves.
    qreal knobOffset() const { return knobOffset_; }
    void setKnobOffset(qreal offset);
    const QPropertyAnimation& knobAnimation() const { return *knobAnimation_; }

    QSize sizeHint() const override;
    // The track: the focus ring goes around the part that a click flips.
    QPainterPath focusRingShape() const override;

protected:
    bool hitButton(const QPoint& position) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    int captionWidth() const;
    void paintCaption(QPainter& painter) const;
    void paintTrack(QPainter& painter) const;

    ExtensionToggleStyle style_;
    bool on_;
    qreal knobOffset_;
    QPropertyAnimation* knobAnimation_;
};

} // namespace vorla::app
