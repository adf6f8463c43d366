#include "app/ui/Compositing.hpp"

#include "app/ui/XcbConnection.hpp"

#include <string>

namespace vorla::app {

// Asked again at every opening, on a short connection of its own: a compositing manager may
// start or stop while the app runs.
bool desktopBlendsTranslucency() {
    if (!runsOnX11()) {
        return true;
    }
    const XcbConnection connection;
    if (!connection.isOpen()) {
        return false;
    }
    const std::string name = "_NET_WM_CM_S" + std::to_string(connection.screenNumber());
    const xcb_atom_t selection = internAtom(connection.get(), name, true);
    if (selection == XCB_ATOM_NONE) {
        return false;
    }
    const XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(
            connection.get(), xcb_get_selection_owner(connection.get(), selection), nullptr),
        &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

} // namespace vorla::app
