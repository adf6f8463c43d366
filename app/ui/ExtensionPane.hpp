#pragma once

#include "app/Binding.hpp"
#include "app/ExtensionManager.hpp"
#include "app/ExtensionState.hpp"

#include <QWidget>

#include <chrono>
#include <string>

class QLabel;

namespace vorla::app {

class ExtensionToggle;

// The Extension tab: the switch that loads or unloads the extension, the status line and two
// help lines. The pane shows the owner's values through its bindings; the owner tells it of
// every change of them.
class ExtensionPane : public QWidget {
public:
    ExtensionPane(Binding<std::string> extensionStatus, Binding<ExtensionState> extensionState,
                  std::chrono::milliseconds fadeAnimation, ExtensionManager& manager,
                  QWidget* parent = nullptr);

    // The state changed from `previous`: redraw and run the change handler, which makes the
    // request the change asks for and writes the status line.
    void extensionStateChanged(ExtensionState newValue, ExtensionState previous);
    void extensionStatusChanged();

    ExtensionToggle* toggle() const { return toggle_; }
    QString statusText() const;
    QString toggleHint() const;
    QString confirmationHint() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showHelpLines(bool animated);

    Binding<std::string> extensionStatus_;
    Binding<ExtensionState> extensionState_;
    std::chrono::milliseconds fadeAnimation_;
    ExtensionManager& manager_;
    ExtensionToggle* toggle_;
    QWidget* statusFrame_;
    QLabel* toggleHint_;
    QLabel* confirmationHint_;
};

} // namespace vorla::app
