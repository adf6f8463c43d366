#include "app/ui/Row.hpp"

#include "app/ui/Appearance.hpp"
#include "app/ui/ButtonComponent.hpp"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

namespace vorla::app {

namespace {
constexpr int rowHeight = 28;
}

Row::Row(const QString& displayText, std::string path, QClipboard& pasteboard, QWidget* parent)
    : QWidget(parent), caption_(new QLabel(displayText, this)),
      button_(new ButtonComponent(std::move(path), pasteboard, this)) {
    caption_->setTextFormat(Qt::PlainText);
    caption_->setFont(systemFont(12));
    setMinimumHeight(rowHeight);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addSpacing(20);
    row->addWidget(caption_);
    row->addStretch(1);
    row->addWidget(button_);
    row->addSpacing(20);
    applyAppearance();
}

QString Row::displayText() const {
    return caption_->text();
}

void Row::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        applyAppearance();
    }
    QWidget::changeEvent(event);
}

void Row::applyAppearance() {
    QPalette palette = caption_->palette();
    palette.setColor(QPalette::WindowText,
                     grey(colorScheme(*this) == ColorScheme::dark ? 0.9 : 0.1));
    caption_->setPalette(palette);
}

} // namespace vorla::app
