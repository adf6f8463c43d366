#include "app/ui/ContentView.hpp"

#include "app/ui/FocusRing.hpp"
#include "app/ui/MenuView.hpp"
#include "app/ui/TitleView.hpp"

#include <QVBoxLayout>

namespace vorla::app {

ContentView::ContentView(ExtensionManager& manager, const BundleInfo& bundle, QWidget* parent)
    : QWidget(parent), menu_(new MenuView(manager, bundle, this)), title_(new TitleView(this)),
      focusRing_(new FocusRing(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(title_);
    column->addWidget(menu_, 1);
}

} // namespace vorla::app
