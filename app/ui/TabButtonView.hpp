#pragma once

#include "app/Binding.hpp"
#include "app/ui/TabData.hpp"

#include <QWidget>

#include <vector>

namespace vorla::app {

class TabButton;

// The tab bar: a row of tab buttons over a divider.
class TabButtonView : public QWidget {
public:
    TabButtonView(const std::vector<TabData>& tabbarItems, Observable<std::int64_t> selectedIndex,
                  QWidget* parent = nullptr);

    const std::vector<TabButton*>& buttons() const { return buttons_; }

private:
    std::vector<TabButton*> buttons_;
};

} // namespace vorla::app
