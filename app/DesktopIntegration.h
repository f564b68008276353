#pragma once
// What an installation puts into the user's desktop beyond the target folder
// and the desktop shortcut: on Linux the program's icon in the icon theme and
// the applications-menu entry with its "Odinstaluj" action, on Windows the
// Start-menu shortcut; and the names of the uninstaller and its file list.
#include "desktop.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <array>

namespace Integration {

// The application id: icon name and menu entry name.
inline const QString appId = QStringLiteral("pl.tavro.Tavro2010Demo");
// The window class of the installed program.
inline const QString windowClass = QStringLiteral("TVODEMO");
// The name of the shortcuts (desktop, menu).
inline const QString shortcutName = QStringLiteral("Tavro 2010 DEMO");
// In the target folder: the uninstaller and the list of what was installed.
inline const QString uninstallerName = QStringLiteral("ODINSTALUJ.EXE");
inline const QString manifestName = QStringLiteral("ODINSTALUJ.LST");
// The command-line switch that makes the program the uninstaller.
inline const QString uninstallSwitch = QStringLiteral("--uninstall");

constexpr std::array<int, 4> iconSizes{48, 64, 128, 256};

// The program's icon (the picture the last wizard page shows), drawn at
// size x size pixels on a transparent ground.
QImage drawIcon(int size);

// Whether a file outside the target folder with this name is one an
// installation writes (the shortcuts, icons and menu entries above).
bool isIntegrationFileName(const QString &name);

// Writes the menu entry for the desktop shortcut's entry: Linux: the icons
// and the menu entry, each through a temporary file and a rename; Windows:
// the shortcut in the user's Start menu (its Programs folder). `written`
// receives every file written (also when a later one fails),
// `createdFolders` the folders made for them. Returns false with the reason
// of the first failure after trying them all.
bool writeMenuEntry(const platform::DesktopEntry &desktop, const QString &targetFolder, QStringList &written,
                    QStringList &createdFolders, QString *error);

// Enters the installation in the system's list of installed programs
// (Windows: Settings, Apps, with its size and the uninstaller's command;
// nothing on Linux, whose menu entry has the "Odinstaluj" action).
// installedBytes: what the installation wrote. False with the reason.
bool registerInstallation(const QString &targetFolder, qint64 installedBytes, QString *error);
// Takes the installation in targetFolder out of that list again.
bool unregisterInstallation(const QString &targetFolder, QString *error);

// Tells the desktop that menu entries came or went (Linux: refreshes the
// menu's and the icon theme's caches; Windows reads the folders itself).
void refreshMenus();

#ifndef _WIN32
// Host paths below a data folder (platform::dataHome()).
QString iconFile(const QString &dataFolder, int size);
QString menuEntryFile(const QString &dataFolder);

// The menu entry for a desktop entry: the same Name, Exec and Path, the
// icon, category, comment and window class, and the "Odinstaluj" action
// running the uninstaller in the given target folder (a host path).
platform::DesktopEntry menuEntry(const platform::DesktopEntry &desktop, const QString &targetFolder);
#endif

} // namespace Integration
