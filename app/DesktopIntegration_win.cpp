// Windows: the Start-menu shortcut in the user's Programs folder.
#include "DesktopIntegration.h"

#include "ownedfiles.h"

#include <QDir>

#include <windows.h>
#include <shlobj.h>

namespace Integration {
namespace {

// The user's Start-menu Programs folder; empty, with the reason, when the
// system cannot name it.
QString programsFolder(QString *error)
{
    PWSTR path = nullptr;
    const HRESULT hr = SHGetKnownFolderPath(FOLDERID_Programs, KF_FLAG_DONT_VERIFY, nullptr, &path);
    QString folder;
    if (SUCCEEDED(hr))
        folder = QDir::fromNativeSeparators(QString::fromWCharArray(path));
    else if (error)
        *error = QStringLiteral("SHGetKnownFolderPath: 0x%1").arg(ulong(hr), 8, 16, QChar('0'));
    CoTaskMemFree(path);
    return folder;
}

} // namespace

bool isIntegrationFileName(const QString &name)
{
    return name.compare(platform::shortcutFileName(shortcutName), Qt::CaseInsensitive) == 0;
}

bool writeMenuEntry(const platform::DesktopEntry &desktop, const QString &targetFolder, QStringList &written,
                    QStringList &createdFolders, QString *error)
{
    Q_UNUSED(targetFolder);
    const QString folder = programsFolder(error);
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
