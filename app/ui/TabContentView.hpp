#pragma once

#include "app/Binding.hpp"
#include "app/ExtensionManager.hpp"
#include "app/ExtensionState.hpp"
#include "app/ui/BundleInfo.hpp"
#include "app/ui/CustomTabView.hpp"

#include <QPointer>
#include <QWidget>

#include <string>

namespace vorla::app {

class ExtensionPane;

// The tab area of the popover. It owns the selection, the status line and the extension's
// state for as long as the popover lives; it hands the manager bindings to the last two when
// shown, and asks for the extension's properties whenever the app becomes active.
class TabContentView : public QWidget {
public:
    TabContentView(ExtensionManager& manager, BundleInfo bundle, QWidget* parent = nullptr);

    const Observable<std::int64_t>& selectedIndex() const { return selectedIndex_; }
    const Observable<std::string>& extensionStatus() const { return extensionStatus_; }
    const Observable<ExtensionState>& extensionLoaded() const { return extensionLoaded_; }
    CustomTabView* tabView() const { return tabView_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    TabPane content(std::int64_t index);

    ExtensionManager& manager_;
    BundleInfo bundle_;
    Observable<std::int64_t> selectedIndex_{0};
    Observable<std::string> extensionStatus_;
    Observable<ExtensionState> extensionLoaded_{ExtensionState::initial};
    QPointer<ExtensionPane> extensionPane_;
    CustomTabView* tabView_;
};

} // namespace vorla::app
