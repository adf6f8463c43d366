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

xcb_atom_t internAtom(xcb_connection_t* connection, std::string_view name, bool onlyIfExists) {
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection,
                              xcb_intern_atom(connection, onlyIfExists ? 1 : 0,
                                              static_cast<std::uint16_t>(name.size()), name.data()),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

bool runsOnX11() {
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}

} // namespace vorla::app
