#include "app/ui/XcbConnection.hpp"

#include <QGuiApplication>

namespace vorla::app {

xcb_window_t XcbConnection::rootWindow() const {
    if (!isOpen()) {
        return XCB_WINDOW_NONE;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int skipped = 0; skipped < screenNumber_ && screens.rem > 0; ++skipped) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        return XCB_WINDOW_NONE;
    }
    return screens.data->root;
}

bool runsOnX11() {
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}

} // namespace vorla::app
