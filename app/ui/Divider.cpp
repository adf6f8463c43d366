#include "app/ui/Divider.hpp"

#include <QFrame>

namespace vorla::app {

QWidget* makeDivider(QWidget* parent) {
    auto* divider = new QFrame(parent);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedHeight(1);
    divider->setForegroundRole(QPalette::Mid);
    return divider;
}

} // namespace vorla::app
