#include "display.h"

#include <windows.h>

namespace platform {

// Every Windows session that runs a GUI program has a desktop to draw on:
// there is no display server that could be missing, as DISPLAY on X11. The
// toolkit's own platform (windows, or offscreen when QT_QPA_PLATFORM says
// so) needs nothing checked beforehand.
bool graphicalDisplayAvailable() { return true; }

// The program is per-monitor aware (its manifest), so the figures are the
// monitor's own pixels, not ones scaled for an unaware program.
ScreenRoom primaryScreenRoom()
{
    ScreenRoom room;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info))
        return room;
    const UINT dpi = GetDpiForSystem(); // the primary monitor's at sign-in
    if (dpi == 0)
        return room;
    // The wizard's frame: a caption, the system menu, a minimise box, a
    // border; the larger sizing border counted, to be on the safe side.
    RECT frame{0, 0, 0, 0};
    if (!AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW & ~WS_MAXIMIZEBOX, FALSE, 0, dpi))
        return room;
    room.scale = dpi / 96.0;
    room.workWidth = int(info.rcWork.right - info.rcWork.left);
    room.workHeight = int(info.rcWork.bottom - info.rcWork.top);
    room.frameWidth = int(frame.right - frame.left);
    room.frameHeight = int(frame.bottom - frame.top);
    return room;
}

} // namespace platform
