#include "app/ui/Popover.hpp"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace vorla {

namespace {
constexpr int anchorGap = 4;
}

Popover::Popover() : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint) {
    // The click that closes the popover is not handed on to the window under it, so a click
    // on the status item closes the popover instead of opening it again at once.
    setAttribute(Qt::WA_NoMouseReplay);
    setFixedSize(contentSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void Popover::setContentView(QWidget* view) {
    delete contentView_;
    contentView_ = view;
    layout()->addWidget(view);
}

void Popover::showRelativeTo(const QRect& anchor) {
    const QScreen* screen = anchor.isValid() ? QGuiApplication::screenAt(anchor.center()) : nullptr;
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size());
    move(popoverPosition(anchor, size(), available));
    show();
}

void Popover::performClose() {
    close();
}

void Popover::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    raise();
    activateWindow();
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

} // namespace vorla
