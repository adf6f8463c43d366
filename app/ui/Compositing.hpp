#pragma once

namespace vorla::app {

// Whether something blends the see-through parts of the app's windows with what lies behind
// them. On X11 that is a compositing manager, which owns the selection _NET_WM_CM_S<screen>
// while it runs; without one a see-through pixel shows as black. Other desktops (Wayland, the
// offscreen platform) always blend.
bool desktopBlendsTranslucency();

} // namespace vorla::app
