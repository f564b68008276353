#pragma once
// The shipped program carries its toolkit's platforms (xcb or windows, and
// offscreen) and plug-ins inside itself. Variables of the user's session
// meant for the system's Qt must not reach into it: a plug-in directory would
// load the system's Qt libraries beside the built-in ones, and a platform it
// does not carry (QT_QPA_PLATFORM=wayland) would end it at start. Both are
// set aside while the toolkit starts and put back afterwards, so that the
// installed program still gets the user's environment. The development
// build, which uses the system's Qt, only keeps the platform that the silent
// modes choose for themselves from what the installed program gets.

#include "hostsystem.h"

#include <QByteArray>
#include <QSize>

namespace ToolkitEnvironment {

// Before the application object (and before the display check).
void prepare();
// After the run's own message handlers are in place, before the application
// object: the built-in toolkit's note that it has no font folder of its own
// (it names the folder of the machine it was built on) reaches neither the
// terminal nor the log.
void dropToolkitNotes();
// Before the application object, for a window of a fixed layout designed at
// 96 DPI (client size at 100 %): where the system scales its screen and the
// window, scaled as much, would not fit into the work area with its frame,
// the toolkit is told to scale less (QT_SCALE_FACTOR, set aside like the
// others; a value the user set stands).
void fitLayout(const QSize &client);
// After the application object: the variables as the user had them, and no
// runtime folder that the toolkit made for itself without XDG_RUNTIME_DIR.
void restore();

// The platform list the built-in platforms can serve: each entry of a
// QT_QPA_PLATFORM value ("wayland;xcb", options after a colon) that is
// built in, or the system's own platform when none is (Linux: xcb;
// Windows: windows, whose entries also get the FreeType font engine).
// Plain function for tests.
QByteArray builtInPlatforms(const QByteArray &requested, platform::System system = platform::hostSystem());

// The scale for such a window: the screen's own, or the largest below it at
// which the window (client scaled, frame as the system draws it at the
// screen's scale) fits into the work area, in steps of 1/16 (exact in
// binary); never below 1, the layout's own size.
double layoutScale(double screenScale, const QSize &client, const QSize &frame, const QSize &workArea);

} // namespace ToolkitEnvironment
