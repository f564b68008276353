#pragma once
// Whether a graphical display can be reached, checked before the toolkit
// starts (which would otherwise abort the process without one).
namespace platform {

// True when the platform the toolkit will pick has a display behind it: an
// X server that accepts a connection (DISPLAY), or a Wayland socket
// (WAYLAND_DISPLAY). A platform named in QT_QPA_PLATFORM other than xcb or
// wayland needs no display of this kind and counts as available.
bool graphicalDisplayAvailable();

} // namespace platform
