#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string_view>

namespace vorla::app {

// A connection of our own to the X server of DISPLAY, closed with the object. The toolkit's
// connection is left alone: what is selected or asked for here cannot change what it receives.
class XcbConnection {
public:
    XcbConnection() : connection_(xcb_connect(nullptr, &screenNumber_)) {}
    ~XcbConnection() { xcb_disconnect(connection_); }
    XcbConnection(const XcbConnection&) = delete;
    XcbConnection& operator=(const XcbConnection&) = delete;

    bool isOpen() const { return xcb_connection_has_error(connection_) == 0; }
    xcb_connection_t* get() const { return connection_; }
    int screenNumber() const { return screenNumber_; }
    // The root window of the connection's screen, or none.
    xcb_window_t rootWindow() const;

private:
    int screenNumber_ = 0;
    xcb_connection_t* connection_;
};

// A reply of the X server, which the caller frees.
template <typename Reply> using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

// The atom of a name, or none when the server cannot give it (or, when it need only exist, does
// not know it yet).
xcb_atom_t internAtom(xcb_connection_t* connection, std::string_view name, bool onlyIfExists);

// Whether the app shows its windows on an X11 desktop.
bool runsOnX11();

} // namespace vorla::app
