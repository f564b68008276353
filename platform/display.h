#pragma once
// Whether a graphical display can be reached, checked before the toolkit
// starts (which would otherwise abort the process without one).
namespace platform {

// True when the platform the toolkit will pick has a display behind it: an
// X server that accepts a connection (DISPLAY), or a Wayland socket
// (WAYLAND_DISPLAY). A platform named in QT_QPA_PLATFORM other than xcb or
// wayland needs no display of this kind and counts as available.
bool graphicalDisplayAvailable();

// What the primary screen offers a window, in device pixels, before the
// toolkit starts: the system's scale for it (1.0 at 96 DPI), its work area
// (without the task bar), and how much a framed window with a caption adds
// to its client area at that scale. Windows only: on Linux the scale is 0,
// and the toolkit's own choice stands.
struct ScreenRoom {
    double scale = 0;
    int workWidth = 0, workHeight = 0;
    int frameWidth = 0, frameHeight = 0;
};
ScreenRoom primaryScreenRoom();

} // namespace platform
