#pragma once

#include <QPainterPath>
#include <QPointer>
#include <QWidget>

namespace vorla::app {

// A control that shows the focus ring around a shape of its own (its capsule, its track)
// rather than around its whole rectangle.
class FocusRingShape {
public:
    virtual ~FocusRingShape() = default;
    // In the control's own coordinates; it may reach beyond the control's rectangle.
    virtual QPainterPath focusRingShape() const = 0;
};

// Shows where the keyboard focus is: a ring just outside the focused control, drawn over
// whatever lies around it, so it shows on a blue switch as well as on a grey capsule. It
// appears when Tab or Backtab moves the focus to a control inside `area`, and goes when the
// focus comes to a control in any other way (a click, the window's activation) or leaves it.
class FocusRing : public QWidget {
public:
    static constexpr int ringWidth = 3;

    explicit FocusRing(QWidget* area);
    ~FocusRing() override;
    FocusRing(const FocusRing&) = delete;
    FocusRing& operator=(const FocusRing&) = delete;

    // The control the ring is shown around, or none.
    QWidget* target() const { return isVisible() ? target_.data() : nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void follow(QWidget* focused, bool byKeyboard);
    void place();
    QPainterPath targetShape() const;

    QWidget* area_;
    QPointer<QWidget> target_;
    // The ring's top left corner in the target's coordinates.
    QPoint origin_;
};

} // namespace vorla::app
