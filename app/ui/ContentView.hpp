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
    // The menu is built before the title row: the Tab round follows the order in which widgets
    // are built, and again the order of the children when the view is taken into a window. So
    // the round starts at the tabs, where an opened popover puts the focus, and the quit button
    // is its last stop, after the links.
    MenuView* menu_;
    TitleView* title_;
    FocusRing* focusRing_;
};

} // namespace vorla::app
