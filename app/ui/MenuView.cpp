#include "app/ui/MenuView.hpp"

#include "app/ui/Divider.hpp"
#include "app/ui/LinkButton.hpp"
#include "app/ui/TabContentView.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vorla::app {

MenuView::MenuView(ExtensionManager& manager, const BundleInfo& bundle, QWidget* parent)
    : QWidget(parent), tabContent_(new TabContentView(manager, bundle, this)),
      mailTo_(new MailToButton(bundle.string("EmailAddress"), this)),
      bugReport_(new BugReport(bundle.string("GithubURL"), this)) {
    auto* links = new QHBoxLayout;
    links->setContentsMargins(12, 10, 12, 10);
    links->addWidget(mailTo_);
    links->addStretch(1);
    links->addWidget(bugReport_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(tabContent_, 1);
    column->addWidget(new Divider(this));
    column->addLayout(links);
}

} // namespace vorla::app
