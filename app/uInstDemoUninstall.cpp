// What the installation leaves for its removal: the uninstaller and the list
// of everything it created, both in the target folder.
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include "DesktopIntegration.h"
#include "Exceptions.h"
#include "InstallLog.h"
#include "Manifest.h"
#include "Uninstall.h"
#include "drives.h"
#include "okienko.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

InstallRecord &TForm1::installRecord()
{
    if (m_runRecord) // asked for every entry: the folder's host path is not made again
        return *m_runRecord;
    const QString target = QDir::cleanPath(platform::toHostPath(ui->edKatalog->text()));
    if (!m_record || m_record->target() != target) { // a new target starts a new record
        m_record = std::make_unique<InstallRecord>();
        m_record->setTarget(target);
    }
    return *m_record;
}

void TForm1::writeUninstallData()
{
    InstallRecord &record = installRecord();
    if (record.isEmpty() || !QFileInfo(record.target()).isDir())
        return;
    const QString list = QDir(record.target()).filePath(Integration::manifestName);
    try {
        Manifest previous; // an installation over an earlier one takes over its list
        if (QFileInfo::exists(list)) {
            try {
                previous = readManifest(list);
            } catch (const Exception &) {
                // unreadable: this installation's own list replaces it
            }
        }
        const Manifest manifest = record.stamped(previous);
        if (manifest.isEmpty())
            return; // nothing of the installation is there
        const bool installed = m_runResult == App::ExitInstalled;
        const bool holdsFiles = std::any_of(manifest.cbegin(), manifest.cend(), [](const ManifestEntry &e) {
            return e.stamp.kind != platform::FileStamp::Folder;
        });
        const bool ownFilesThere = QFileInfo::exists(list)
            || QFileInfo::exists(QDir(record.target()).filePath(Integration::uninstallerName));
        if (!installed && !holdsFiles && !ownFilesThere) {
            // The run stopped before anything of it stayed: the folders it
            // made, empty, go again rather than hold an uninstaller alone.
            removeInstallation(record.target(), manifest);
            InstallLog::write(QStringLiteral("Nothing installed: the folders the run made are removed again"));
            return;
        }
        writeUninstaller(record.target(), record);
        writeManifest(list, manifest);
        InstallLog::write(QStringLiteral("Written the uninstaller and the list of %1 installed items")
                              .arg(manifest.size()));
        const qint64 bytes =
            installedBytes(manifest) + QFileInfo(QDir(record.target()).filePath(Integration::uninstallerName)).size();
        QString error;
        // Only a finished installation is entered among the installed
        // programs: a failed or cancelled run leaves an entry, maybe another
        // folder's, as it was.
        if (installed && !Integration::registerInstallation(record.target(), bytes, &error))
            InstallLog::write(QStringLiteral("Not entered among the installed programs: ") + error);
    } catch (const Exception &e) {
        InstallLog::write(QStringLiteral("No uninstaller: ") + e.message());
        if (m_runResult == App::ExitInstalled) // after a failure its own report is enough
            ErrorBox(QStringLiteral("Błąd"), e.message());
    }
}
