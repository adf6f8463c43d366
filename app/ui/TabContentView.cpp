#include "app/ui/TabContentView.hpp"

#include "app/ui/AboutPane.hpp"
#include "app/ui/ConfigPane.hpp"
#include "app/ui/ExtensionPane.hpp"
#include "app/ui/TabData.hpp"
#include "app/ui/Watch.hpp"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QVBoxLayout>

namespace vorla::app {

TabContentView::TabContentView(ExtensionManager& manager, BundleInfo bundle, QWidget* parent)
    : QWidget(parent), manager_(manager), bundle_(std::move(bundle)) {
    // The Extension pane is rebuilt with every selection, so the state is watched here, once,
    // and each change goes to whichever Extension pane is shown (none on the other tabs).
    watch<ExtensionState, TabContentView>(
        extensionLoaded_, this,
        [](TabContentView& view, const ExtensionState& newValue, const ExtensionState& previous) {
            if (view.extensionPane_) {
                view.extensionPane_->extensionStateChanged(newValue, previous);
            }
        });
    watch<std::string, TabContentView>(extensionStatus_, this,
                                       [](TabContentView& view, auto&, auto&) {
                                           if (view.extensionPane_) {
                                               view.extensionPane_->extensionStatusChanged();
                                           }
                                       });
    QObject::connect(qApp, &QGuiApplication::applicationStateChanged, this,
                     [this](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive) {
                             manager_.requestProperties();
                         }
                     });

    tabView_ = new CustomTabView(
        popoverTabs(), selectedIndex_, [this](std::int64_t index) { return content(index); }, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabView_);
}

void TabContentView::showEvent(QShowEvent* event) {
    manager_.status = extensionStatus_.binding();
    manager_.state = extensionLoaded_.binding();
    // Showing the popover activates the app, and becoming active asks for the properties. An
    // app that is still active (the popover was closed from the status item or with Escape)
    // does not become active again, so it asks here, lest the switch show a stale state.
    if (QGuiApplication::applicationState() == Qt::ApplicationActive) {
        manager_.requestProperties();
    }
    QWidget::showEvent(event);
}

TabPane TabContentView::content(std::int64_t index) {
    extensionPane_ = nullptr;
    switch (index) {
    case 1:
        return {makeExtensionPathsPane(*QGuiApplication::clipboard()), ConfigPane::listOutsets()};
    case 2:
        return {makeAboutPane(bundle_)};
    default:
        extensionPane_ = new ExtensionPane(extensionStatus_.binding(), extensionLoaded_.binding(),
                                           std::chrono::milliseconds(100), manager_);
        return {extensionPane_};
    }
}

} // namespace vorla::app
