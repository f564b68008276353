#pragma once
// Start-up of the installer inside the self-contained installer file. There a
// small launcher unpacks this program with its Qt libraries, the xcb platform
// plugin and the layouts' fonts into a private folder, and names the file the
// user started in TVO_SETUP_FILE.
#include <QString>

namespace BundledRuntime {

// Before the application object: takes TVO_SETUP_FILE out of the environment
// (nothing started later inherits it) and, when the program runs from an
// unpacked runtime, makes Qt load plugins from the runtime only: the library
// paths are set, and QT_PLUGIN_PATH, QT_QPA_PLATFORM_PLUGIN_PATH and
// QT_QPA_PLATFORM (the runtime has the xcb plugin alone) are set aside.
void prepare();

// After the application object: puts the variables set aside back, so that
// the installed program starts with the user's environment, and registers the
// runtime's fonts.
void finishStartup();

// The file the user started, as TVO_SETUP_FILE gave it; empty without one.
QString setupFile();

// The folder of the unpacked runtime ("" when the program does not run from
// one): it holds plugins/ and fonts/ beside the program.
QString runtimeFolder();

// Writes the file the user started without its payload, to fd: the launcher
// and the runtime as they are stored there. That is the uninstaller of a
// self-contained installation, which runs without Qt too. False with the
// reason when the file cannot be read or carries no runtime.
bool writeWithoutPayload(int fd, QString *why);

} // namespace BundledRuntime
