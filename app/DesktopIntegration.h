#pragma once
// What an installation puts into the user's desktop beyond the target folder:
// the program's icon in the icon theme, the applications-menu entry with its
// "Odinstaluj" action, and the names of the uninstaller and its file list.
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
inline const QString desktopEntryName = QStringLiteral("Tavro 2010 DEMO.desktop");
// In the target folder: the uninstaller and the list of what was installed.
inline const QString uninstallerName = QStringLiteral("ODINSTALUJ.EXE");
inline const QString manifestName = QStringLiteral("ODINSTALUJ.LST");
// The command-line switch that makes the program the uninstaller.
inline const QString uninstallSwitch = QStringLiteral("--uninstall");

constexpr std::array<int, 4> iconSizes{48, 64, 128, 256};

// The program's icon (the picture the last wizard page shows), drawn at
// size x size pixels on a transparent ground.
QImage drawIcon(int size);

// Host paths below a data folder (platform::dataHome()).
QString iconFile(const QString &dataFolder, int size);
QString menuEntryFile(const QString &dataFolder);

// The menu entry for a desktop entry: the same Name, Exec and Path, the
// icon, category, comment and window class, and the "Odinstaluj" action
// running the uninstaller in the given target folder (a host path).
platform::DesktopEntry menuEntry(const platform::DesktopEntry &desktop, const QString &targetFolder);

// Writes the icons and the menu entry for the desktop entry, each through a
// temporary file and a rename; `written` receives every file written (also
// when a later one fails), `createdFolders` the folders made for them.
// Returns false with the reason of the first failure after trying them all.
bool writeIconsAndMenuEntry(const platform::DesktopEntry &desktop, const QString &targetFolder,
                            QStringList &written, QStringList &createdFolders, QString *error);

} // namespace Integration
