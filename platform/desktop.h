#pragma once
// The user's desktop: shortcut files and starting programs that outlive the
// installer. Linux: freedesktop desktop entries; Windows: shell links.
#include <QString>
#include <QStringList>

namespace platform {

// Host folder of the desktop. Linux: XDG_DESKTOP_DIR of user-dirs.dirs, else
// ~/Desktop. Windows: the value "Desktop" of the current user's key
// Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders (an
// expandable value expanded), the system's known desktop folder when the
// value is missing or empty. Empty, with the reason in error, when the key
// cannot be opened or the value is not text.
QString desktopFolder(QString *error = nullptr);

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
    QString icon = {};           // Icon=, a theme icon name (Windows: an icon file)
    QString comment = {};        // Comment=
    QStringList categories = {}; // Categories=
    QString startupWMClass = {}; // StartupWMClass=
    QList<DesktopAction> actions = {};
};

// The desktop shortcut's file name for a shortcut called name:
// "<name>.desktop" on Linux, "<name>.lnk" on Windows.
QString shortcutFileName(const QString &name);

// Writes the shortcut to a host file, replacing whatever has the name (a
// link there is replaced, never written through). Linux: the desktop entry
// (writeDesktopEntry). Windows: a shell link starting argv[0] with the other
// arguments, each in double quotes by the command-line rules, in workingDir;
// its icon is entry.icon when that names a file, else the program's own, and
// its description entry.comment. False, with a reason, when it cannot be
// written.
bool writeShortcut(const QString &hostFile, const DesktopEntry &entry, QString *error = nullptr);

// Starts a program detached from the installer (no zombie is left behind,
// nothing waited for) in the given host folder. Windows: CreateProcessW with
// the command line of writeShortcut's rules. False when it cannot be started.
bool startDetached(const QStringList &argv, const QString &workingDir);

#ifndef _WIN32
// ---- Linux only: freedesktop desktop entries and the data folder ----

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
#else
// ---- Windows only ----

// The user's Start-menu Programs folder (SHGetKnownFolderPath, a host path
// with '/'); empty, with the reason, when the system does not name one.
QString programsMenuFolder(QString *error = nullptr);
#endif

} // namespace platform
