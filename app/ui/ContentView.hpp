#pragma once

#include "app/ExtensionManager.hpp"
#include "app/ui/BundleInfo.hpp"

#include <QWidget>

namespace vorla::app {

class FocusRing;
class MenuView;
class TitleView;

// The popover's whole content: the title row over the menu.
class ContentView : public QWidget {
public:
    ContentView(ExtensionManager& manager, const BundleInfo& bundle, QWidget* parent = nullptr);

    TitleView* titleView() const { return title_; }
    MenuView* menuView() const { return menu_; }
    FocusRing* focusRing() const { return focusRing_; }

private:
    TitleView* title_;
    MenuView* menu_;
    FocusRing* focusRing_;
};

} // namespace vorla::app
