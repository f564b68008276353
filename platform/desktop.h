#pragma once
// The user's desktop: shortcut files (freedesktop desktop entries) and
// starting programs that outlive the installer.
#include <QString>
#include <QStringList>

namespace platform {

// Host folder of the desktop: XDG_DESKTOP_DIR of user-dirs.dirs, else ~/Desktop.
QString desktopFolder();

struct DesktopEntry {
    QString name;       // Name=
    QStringList argv;   // program and arguments, host paths
    QString workingDir; // Path=, a host path
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

// Starts a program detached from the installer (no zombie is left behind)
// in the given host folder. False when it cannot be started.
bool startDetached(const QStringList &argv, const QString &workingDir);

} // namespace platform
