#pragma once

#include <QWidget>

namespace vorla::app {

// The window that drops from the status item: frameless content of 400 x 320 in a one-pixel
// border, with a soft shadow where the desktop blends see-through windows, closed by a click
// elsewhere or by Escape. Showing it makes the app the active application, so the content
// learns that it should ask for the extension's state again. It never grabs the pointer: a
// click in another application reaches that application, and the outside-click monitor or the
// lost activation closes the popover.
class Popover : public QWidget {
public:
    static constexpr QSize contentSize{400, 320};
    static constexpr int borderWidth = 1;
    static constexpr int shadowWidth = 8;

    Popover();

    // Hosts the content view, which the popover then owns.
    void setContentView(QWidget* view);
    QWidget* contentView() const { return contentView_; }

    bool isShown() const { return isVisible(); }
    // The width of the shadow around the border: none where nothing would blend it.
    int shadowMargin() const { return shadowMargin_; }
    // Shows the popover beside the anchor (the status item's bounds, in screen coordinates).
    void showRelativeTo(const QRect& anchor);
    void performClose();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void fitShadow();

    QWidget* contentView_ = nullptr;
    int shadowMargin_ = 0;
};

// Where a popover of the given size goes for an anchor on a screen: below the anchor when the
// anchor is in the upper half of the screen (a top panel), else above it; centred on the
// anchor and kept on the screen. Without an anchor, near the screen's top right corner.
QPoint popoverPosition(const QRect& anchor, const QSize& size, const QRect& screen);

} // namespace vorla::app
