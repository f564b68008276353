#include "display.h"

#include <QByteArray>
#include <QList>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace platform {
namespace {

// Connects to the X server named by DISPLAY the way the toolkit's xcb
// platform will (same library, same authorisation), then disconnects.
bool xServerReachable()
{
    if (qgetenv("DISPLAY").isEmpty())
        return false;
    int screen = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screen);
    const bool ok = c && xcb_connection_has_error(c) == 0;
    if (c)
        xcb_disconnect(c); // also frees a connection that failed
    return ok;
}

bool waylandReachable()
{
    QByteArray name = qgetenv("WAYLAND_DISPLAY");
    if (name.isEmpty())
        return false;
    if (!name.startsWith('/')) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty())
            return false;
        name = runtime + '/' + name;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof addr.sun_path)
        return false;
    memcpy(addr.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool graphicalDisplayAvailable()
{
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    if (chosen.isEmpty())
        return xServerReachable() || waylandReachable();
    // A list such as "wayland;xcb" is tried in order; options follow a colon.
    for (const QByteArray &entry : chosen.split(';')) {
        const QByteArray name = entry.left(entry.indexOf(':') < 0 ? entry.size() : entry.indexOf(':')).trimmed();
        if (name == "xcb") {
            if (xServerReachable())
                return true;
        } else if (name.startsWith("wayland")) {
            if (waylandReachable())
                return true;
        } else if (!name.isEmpty()) {
            return true; // offscreen, vnc, eglfs...: nothing to check here
        }
    }
    return false;
}

// X11 and Wayland scale through the toolkit's own settings (Xft.dpi,
// QT_SCALE_FACTOR): nothing is decided before it starts.
ScreenRoom primaryScreenRoom() { return {}; }

} // namespace platform
