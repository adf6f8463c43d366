#include "app/ui/Popover.hpp"

#include "app/ui/Appearance.hpp"
#include "app/ui/Compositing.hpp"
#include "app/ui/PopupWindowHints.hpp"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace vorla::app {

namespace {
constexpr int anchorGap = 4;
// Mid grey stands apart from a light and from a dark desktop alike.
constexpr double borderWhiteLevel = 0.5;
constexpr int shadowDarkestAlpha = 40;

// A one-pixel frame drawn as four filled bands, not as a stroked rectangle: a stroke of one
// pixel is centred on the edge, and at a scale such as 1.5 the half that rounds inwards may
// cover no device pixel at all, so whole sides vanish. A filled band always covers one.
void fillFrame(QPainter& painter, const QRect& outer, const QColor& colour) {
    painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), 1), colour);
    painter.fillRect(QRect(outer.left(), outer.bottom(), outer.width(), 1), colour);
    painter.fillRect(QRect(outer.left(), outer.top() + 1, 1, outer.height() - 2), colour);
    painter.fillRect(QRect(outer.right(), outer.top() + 1, 1, outer.height() - 2), colour);
}
} // namespace

// A tool window, not the toolkit's pop-up: that one grabs the pointer, and the click that closes
// it would never reach the application it was meant for. Like a menu, it is left out of the
// window manager's care, so no window list, pager or task switcher shows it and no frame is put
// around it; it asks for the keyboard focus itself.
Popover::Popover()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::BypassWindowManagerHint) {
    // The shadow lies around the content on the desktop, so the window is see-through there.
    // Without a shadow every pixel is painted opaque, so the window may keep its see-through
    // surface, ready for a compositing manager that starts later.
    setAttribute(Qt::WA_TranslucentBackground);
    new QVBoxLayout(this);
    fitShadow();
}

void Popover::fitShadow() {
    shadowMargin_ = desktopBlendsTranslucency() ? shadowWidth : 0;
    const int edge = shadowMargin_ + borderWidth;
    setFixedSize(contentSize.grownBy(QMargins(edge, edge, edge, edge)));
    layout()->setContentsMargins(edge, edge, edge, edge);
}

void Popover::setContentView(QWidget* view) {
    delete contentView_;
    contentView_ = view;
    layout()->addWidget(view);
}

void Popover::showRelativeTo(const QRect& anchor) {
    fitShadow();
    const QScreen* screen = anchor.isValid() ? QGuiApplication::screenAt(anchor.center()) : nullptr;
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size());
    // The visible frame goes where it goes without a shadow; the shadow lies around it, off the
    // screen's edge if need be.
    const int shadow = shadowMargin_;
    const QSize frame = size().shrunkBy(QMargins(shadow, shadow, shadow, shadow));
    move(popoverPosition(anchor, frame, available) - QPoint(shadow, shadow));
    declarePopupMenu(*this);
    show();
}

// Hidden, not closed: closing would destroy the native window, and every opening would make a
// new one.
void Popover::performClose() {
    hide();
}

void Popover::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    raise();
    activateWindow();
}

// The popover is the app's only window: losing the activation means the user clicked in
// another application (or the desktop took the focus).
void Popover::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow()) {
        performClose();
    }
}

void Popover::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int edge = shadowMargin_ + borderWidth;
    const QRect content = rect().marginsRemoved(QMargins(edge, edge, edge, edge));
    // The shadow fades out ring by ring, darkest beside the border.
    for (int ring = 1; ring <= shadowMargin_; ++ring) {
        const int out = borderWidth + ring;
        fillFrame(
            painter, content.marginsAdded(QMargins(out, out, out, out)),
            QColor(0, 0, 0, shadowDarkestAlpha * (shadowWidth + 1 - ring) / (shadowWidth + 1)));
    }
    painter.fillRect(content, palette().window());
    fillFrame(painter,
              content.marginsAdded(QMargins(borderWidth, borderWidth, borderWidth, borderWidth)),
              grey(borderWhiteLevel));
}

void Popover::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        performClose();
        return;
    }
    QWidget::keyPressEvent(event);
}

QPoint popoverPosition(const QRect& anchor, const QSize& size, const QRect& screen) {
    if (!anchor.isValid()) {
        return {screen.right() + 1 - size.width() - anchorGap, screen.top() + anchorGap};
    }
    const bool below = anchor.center().y() < screen.center().y();
    const int y =
        below ? anchor.bottom() + 1 + anchorGap : anchor.top() - anchorGap - size.height();
    const int x = anchor.center().x() - size.width() / 2;
    return {
        std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width())),
        std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()))};
}

} // namespace vorla::app
