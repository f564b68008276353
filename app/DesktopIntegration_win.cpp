// Windows: the Start-menu shortcut in the user's Programs folder.
#include "DesktopIntegration.h"

#include "ownedfiles.h"

#include <QDir>

namespace Integration {

bool isIntegrationFileName(const QString &name)
{
    return name.compare(platform::shortcutFileName(shortcutName), Qt::CaseInsensitive) == 0;
}

bool writeMenuEntry(const platform::DesktopEntry &desktop, const QString &targetFolder, QStringList &written,
                    QStringList &createdFolders, QString *error)
{
    Q_UNUSED(targetFolder);
    const QString folder = platform::programsMenuFolder(error);
    if (folder.isEmpty())
        return false;
    createdFolders << platform::missingFolders(folder);
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Nie można utworzyć katalogu ") + QDir::toNativeSeparators(folder);
        return false;
    }
    const QString file = folder + '/' + platform::shortcutFileName(desktop.name);
    if (!platform::writeShortcut(file, desktop, error)) {
        if (error)
            *error = QDir::toNativeSeparators(file) + '\r' + *error;
        return false;
    }
    written << file;
    return true;
}

void refreshMenus() {}

} // namespace Integration
