#pragma once
// The user's desktop: shortcut files (freedesktop desktop entries) and
// starting programs that outlive the installer.
#include <QString>
#include <QStringList>

namespace platform {

// Host folder of the desktop: XDG_DESKTOP_DIR of user-dirs.dirs, else ~/Desktop.
QString desktopFolder();

// A desktop action ([Desktop Action id] group, listed in Actions=).
struct DesktopAction {
    QString id;
    QString name;
    QStringList argv;
};

struct DesktopEntry {
    QString name;       // Name=
    QStringList argv;   // program and arguments, host paths
    QString workingDir; // Path=, a host path
    // Optional keys, written only when set.
    QString icon = {};           // Icon=, a theme icon name
    QString comment = {};        // Comment=
    QStringList categories = {}; // Categories=
    QString startupWMClass = {}; // StartupWMClass=
    QList<DesktopAction> actions = {};
};

// The Exec= value: every argument quoted by the desktop-entry rules, then the
// whole value escaped as a desktop-entry string.
QString desktopExecLine(const QStringList &argv);
// The whole file text of the entry.
QString desktopEntryText(const DesktopEntry &entry);

// Writes the entry to a host file (mode 0755) through a new file renamed over
// the name (platform::replaceFile: a link there is replaced, not followed), and
// marks it trusted where `gio` exists. Returns false, with a reason, when the
// file cannot be written.
bool writeDesktopEntry(const QString &hostFile, const DesktopEntry &entry, QString *error = nullptr);

// The user's data folder: $XDG_DATA_HOME when absolute, else ~/.local/share.
QString dataHome();

// Refreshes the menu's and the icon theme's caches below a data folder where
// the tools exist (a missing tool is no error). The icon cache is only
// brought up to date where one is already there: without one the desktop
// reads the folders themselves, and a cache left behind would go stale.
void refreshDesktopCaches(const QString &dataFolder);

// Starts a program detached from the installer (no zombie is left behind)
// in the given host folder. False when it cannot be started.
bool startDetached(const QStringList &argv, const QString &workingDir);

} // namespace platform
