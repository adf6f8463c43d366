#include "app/ui/PopupWindowHints.hpp"

#include "app/ui/XcbConnection.hpp"

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <array>

namespace vorla::app {

// The toolkit names the type after its own window kinds (a tool window is a utility window) and
// has no word for a pop-up that does not grab the pointer, so the properties are set here. They
// go through the toolkit's own connection: the server then sees them after the window was
// made and before the toolkit maps it, which adds its own states to those it finds.
void declarePopupMenu(QWidget& window) {
    // The offscreen platform offers the interface too, without a connection.
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* const x = runsOnX11() && x11 ? x11->connection() : nullptr;
    if (!x) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t type = internAtom(x, "_NET_WM_WINDOW_TYPE", false);
    const xcb_atom_t popupMenu = internAtom(x, "_NET_WM_WINDOW_TYPE_POPUP_MENU", false);
    const xcb_atom_t state = internAtom(x, "_NET_WM_STATE", false);
    const std::array<xcb_atom_t, 2> states{internAtom(x, "_NET_WM_STATE_SKIP_TASKBAR", false),
                                           internAtom(x, "_NET_WM_STATE_SKIP_PAGER", false)};
    if (type == XCB_ATOM_NONE || popupMenu == XCB_ATOM_NONE || state == XCB_ATOM_NONE ||
        states[0] == XCB_ATOM_NONE || states[1] == XCB_ATOM_NONE) {
        return;
    }
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, id, type, XCB_ATOM_ATOM, 32, 1, &popupMenu);
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, states.size(),
                        states.data());
}

} // namespace vorla::app
