#include "app/ui/VorlaApp.hpp"

#include "app/ExtensionManager.hpp"
#include "app/ui/AppDelegate.hpp"
#include "app/ui/BundleInfo.hpp"
#include "app/ui/MainQueueBridge.hpp"
#include "app/ui/TerminationSignals.hpp"

#include <QApplication>
#include <QSystemTrayIcon>

#include <cstdlib>
#include <iostream>

namespace vorla::app {

namespace {

// Qt ends the process with a crash report when it finds no display; say plainly what is
// missing instead, and how to use the app without one.
bool hasDisplay() {
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            return true;
        }
    }
    return false;
}

} // namespace

int runVorlaApp(int argc, char* argv[]) {
    if (!hasDisplay()) {
        std::cerr << "vorla: no display for the menu-bar app; see \"vorla help\" for the "
                     "commands that work without one"
                  << std::endl;
        return EXIT_FAILURE;
    }
    QApplication application(argc, argv);
    // The popover is the app's only window; closing it leaves the app in the menu bar.
    QApplication::setQuitOnLastWindowClosed(false);
    const MainQueueBridge mainQueue(application);
    const TerminationSignals termination([] { QCoreApplication::quit(); });

    AppDelegate delegate(sharedExtensionManager(), BundleInfo::mainBundle());
    const bool hasTray = QSystemTrayIcon::isSystemTrayAvailable();
    if (!hasTray) {
        std::cerr << "vorla: the menu-bar icon cannot be shown: the desktop offers no system "
                     "tray; use \"vorla load\" and \"vorla unload\" instead"
                  << std::endl;
    }
    delegate.setUpStatusBar(hasTray);
    return QApplication::exec();
}

} // namespace vorla::app
