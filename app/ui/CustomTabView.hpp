#pragma once

#include "app/Binding.hpp"
#include "app/ui/TabData.hpp"

#include <QMargins>
#include <QWidget>

#include <functional>
#include <vector>

class QVBoxLayout;

namespace vorla::app {

class TabButtonView;

// The content of one tab. Every pane is padded by 15 points; `outsets` lets a pane reach
// beyond that padding (up to the edges of the tab area).
struct TabPane {
    QWidget* view;
    QMargins outsets{};
};

// A tab bar over the pane of the selected tab. The pane is built anew, by `content`, each time
// the selection changes.
class CustomTabView : public QWidget {
public:
    using Content = std::function<TabPane(std::int64_t index)>;

    CustomTabView(std::vector<TabData> tabs, Observable<std::int64_t> selectedIndex,
                  Content content, QWidget* parent = nullptr);

    TabButtonView* tabBar() const { return tabBar_; }
    QWidget* currentPane() const { return pane_; }

private:
    void showPane(std::int64_t index);
    void putInTabOrder(QWidget& pane) const;

    std::vector<TabData> tabs_;
    Content content_;
    TabButtonView* tabBar_;
    QVBoxLayout* paneArea_;
    QWidget* pane_ = nullptr;
};

} // namespace vorla::app
