#include "app/ui/TabButtonView.hpp"

#include "app/ui/Divider.hpp"
#include "app/ui/TabButton.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vorla::app {

namespace {
// The spacing a stack puts between its views when none is given.
constexpr int defaultStackSpacing = 8;
} // namespace

TabButtonView::TabButtonView(const std::vector<TabData>& tabbarItems,
                             Observable<std::int64_t> selectedIndex, QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(12, 0, 12, 0);
    row->setSpacing(defaultStackSpacing);
    for (const TabData& item : tabbarItems) {
        auto* button = new TabButton(item, selectedIndex, this);
        buttons_.push_back(button);
        row->addWidget(button, 0, Qt::AlignVCenter);
    }
    row->addStretch(1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(row);
    column->addWidget(new Divider(this));
}

} // namespace vorla::app
