#include "app/ui/CustomTabView.hpp"

#include "app/ui/TabButton.hpp"
#include "app/ui/TabButtonView.hpp"
#include "app/ui/Watch.hpp"

#include <QVBoxLayout>

#include <algorithm>

namespace vorla::app {

namespace {
constexpr int panePadding = 15;

int paddingBeside(int outset) {
    return std::max(0, panePadding - outset);
}
} // namespace

CustomTabView::CustomTabView(std::vector<TabData> tabs, Observable<std::int64_t> selectedIndex,
                             Content content, QWidget* parent)
    : QWidget(parent), tabs_(std::move(tabs)), content_(std::move(content)),
      tabBar_(new TabButtonView(tabs_, selectedIndex, this)), paneArea_(new QVBoxLayout) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(tabBar_);
    column->addLayout(paneArea_, 1);

    showPane(selectedIndex.get());
    watch<std::int64_t, CustomTabView>(
        selectedIndex, this,
        [](CustomTabView& view, const std::int64_t& index, auto&) { view.showPane(index); });
}

void CustomTabView::showPane(std::int64_t index) {
    if (pane_) {
        pane_->hide();
        pane_->deleteLater();
    }
    while (QLayoutItem* item = paneArea_->takeAt(0)) {
        delete item;
    }
    const TabPane pane = content_(index);
    pane_ = pane.view;
    pane_->setParent(this);
    paneArea_->setContentsMargins(
        paddingBeside(pane.outsets.left()), paddingBeside(pane.outsets.top()),
        paddingBeside(pane.outsets.right()), paddingBeside(pane.outsets.bottom()));
    // A pane that wants all the height (a list) gets it; others are centred between spacers.
    const bool fillsHeight = (pane_->sizePolicy().verticalPolicy() & QSizePolicy::ExpandFlag) != 0;
    if (!fillsHeight) {
        paneArea_->addStretch(1);
    }
    paneArea_->addWidget(pane_, fillsHeight ? 1 : 0);
    if (!fillsHeight) {
        paneArea_->addStretch(1);
    }
    pane_->show();
    putInTabOrder(*pane_);
}

// A pane is built after the rest of the popover, so by default its controls come last when
// Tab moves through the popover; they belong right after the tabs.
void CustomTabView::putInTabOrder(QWidget& pane) const {
    QWidget* previous = tabBar_->buttons().empty() ? nullptr : tabBar_->buttons().back();
    QWidgetList controls = pane.findChildren<QWidget*>();
    controls.prepend(&pane);
    for (QWidget* control : controls) {
        if (previous && (control->focusPolicy() & Qt::TabFocus) != 0) {
            QWidget::setTabOrder(previous, control);
            previous = control;
        }
    }
}

} // namespace vorla::app
