#pragma once

class QWidget;

namespace vorla::app {

// Tells an X11 desktop that the window is a pop-up menu of the status item rather than a window
// of its own: its type is that of a pop-up menu, and no taskbar or pager lists it. Called before
// each showing, on the window's own native window; elsewhere it does nothing.
void declarePopupMenu(QWidget& window);

} // namespace vorla::app
