#include "app/ui/TitleView.hpp"

#include "app/ui/Appearance.hpp"
#include "app/ui/CloseButton.hpp"

#include "app/ui/Localized.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>

namespace vorla::app {

TitleView::TitleView(QWidget* parent) : QWidget(parent), quitButton_(new CloseButton(this)) {
    quitButton_->setAccessibleName(localized("Quit UI"));
    QObject::connect(quitButton_, &QAbstractButton::clicked, [] { QCoreApplication::quit(); });

    auto* title = new QLabel(QStringLiteral("vorla"), this);
    title->setFont(textStyleFont(TextStyle::title));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(15, 15, 15, 15);
    row->addWidget(quitButton_, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(title, 0, Qt::AlignVCenter);
}

} // namespace vorla::app
