#pragma once

#include "app/ExtensionManager.hpp"
#include "app/ui/BundleInfo.hpp"

#include <QWidget>

namespace vorla::app {

class BugReport;
class MailToButton;
class TabContentView;

// The popover below its title row: the tabs, a divider, and the row of link buttons.
class MenuView : public QWidget {
public:
    MenuView(ExtensionManager& manager, const BundleInfo& bundle, QWidget* parent = nullptr);

    TabContentView* tabContent() const { return tabContent_; }
    MailToButton* mailToButton() const { return mailTo_; }
    BugReport* bugReport() const { return bugReport_; }

private:
    TabContentView* tabContent_;
    MailToButton* mailTo_;
    BugReport* bugReport_;
};

} // namespace vorla::app
