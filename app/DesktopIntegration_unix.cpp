// Linux: the icon theme's pictures and the applications-menu entry as
// freedesktop desktops read them, below the user's data folder.
#include "DesktopIntegration.h"

#include "ownedfiles.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>

namespace Integration {

bool isIntegrationFileName(const QString &name)
{
    return name == platform::shortcutFileName(shortcutName) || name == appId + QStringLiteral(".desktop")
           || name == appId + QStringLiteral(".png");
}

QString iconFile(const QString &dataFolder, int size)
{
    return QStringLiteral("%1/icons/hicolor/%2x%2/apps/%3.png").arg(dataFolder).arg(size).arg(appId);
}

QString menuEntryFile(const QString &dataFolder)
{
    return dataFolder + QStringLiteral("/applications/") + appId + QStringLiteral(".desktop");
}

platform::DesktopEntry menuEntry(const platform::DesktopEntry &desktop, const QString &targetFolder)
{
    platform::DesktopEntry e = desktop;
    e.icon = appId;
    e.comment = QStringLiteral("Demonstracyjna wersja wylicznika kosztorysowego Tavro 2010");
    e.categories = {QStringLiteral("Office"), QStringLiteral("Finance")};
    e.startupWMClass = windowClass;
    e.actions = {{QStringLiteral("uninstall"), QStringLiteral("Odinstaluj"),
                  {QDir(targetFolder).filePath(uninstallerName), uninstallSwitch}}};
    return e;
}

bool writeMenuEntry(const platform::DesktopEntry &desktop, const QString &targetFolder,
                            QStringList &written, QStringList &createdFolders, QString *error)
{
    const QString data = platform::dataHome();
    QString first;
    const auto write = [&](const QString &file, const QByteArray &bytes) {
        QString why;
        createdFolders << platform::missingFolders(QFileInfo(file).absolutePath());
        if (!QDir().mkpath(QFileInfo(file).absolutePath()))
            why = QStringLiteral("Nie można utworzyć katalogu ") + QFileInfo(file).absolutePath();
        else if (platform::replaceFile(file, 0644, bytes, &why))
            written << file;
        if (!why.isEmpty() && first.isEmpty())
            first = file + '\r' + why;
    };
    for (const int size : iconSizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        drawIcon(size).save(&buffer, "PNG");
        write(iconFile(data, size), png);
    }
    write(menuEntryFile(data), platform::desktopEntryText(menuEntry(desktop, targetFolder)).toUtf8());
    if (!first.isEmpty() && error)
        *error = first;
    return first.isEmpty();
}

void refreshMenus() { platform::refreshDesktopCaches(platform::dataHome()); }

} // namespace Integration
