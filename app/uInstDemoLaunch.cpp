// The closing steps: the desktop shortcut and the start of the installed program.
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include "CommandLine.h"
#include "DesktopIntegration.h"
#include "Exceptions.h"
#include "Gauges.h"
#include "InstallLog.h"
#include "Manifest.h"
#include "Payload.h"
#include "desktop.h"
#include "drives.h"
#include "okienko.h"
#include "ownedfiles.h"

#include <QDir>
#include <QFileInfo>

QString TForm1::installerFolder() const
{
    return platform::toDrivePath(QFileInfo(InstallerFile()).absolutePath());
}

QStringList TForm1::installedProgramCommand() const
{
    // The installer's folder, without a final separator except at the root,
    // with the system's own separators (Windows: "katCD=D:\CD").
    const QString folder = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(InstallerFile()).absolutePath()));
    const QString target = platform::toHostPath(ui->edKatalog->text());
    return {target + QStringLiteral("/TVODEMO.EXE"), QStringLiteral("katCD=") + folder};
}

void TForm1::CreateDesktopShortcut()
{
    ui->lblPlik->hide();
    gaugePlik->hide();
    ui->lblKopiowanie->setText(QStringLiteral("Zakładanie ikony na pulpicie..."));
    ui->lblKopiowanie->adjustSize();
    repaint();
    if (installOptions().icons)
        writeDesktopShortcut();
    else
        InstallLog::write(QStringLiteral("No desktop entry, menu entry or icon (--no-icons)"));
    ProgressTick();
}

void TForm1::writeDesktopShortcut()
{
    const QString target = platform::toHostPath(ui->edKatalog->text());
    platform::DesktopEntry entry{Integration::shortcutName, installedProgramCommand(), target};
    entry.icon = Integration::appId;
    try {
        QString error;
        const QString desktop = platform::desktopFolder(&error);
        if (desktop.isEmpty())
            throw Exception(error);
        installRecord().addCreatedFolders(platform::missingFolders(desktop));
        QDir().mkpath(desktop);
        const QString file = desktop + '/' + platform::shortcutFileName(entry.name);
        if (!platform::writeShortcut(file, entry, &error))
            throw Exception(QStringLiteral("Nie można zapisać skrótu na pulpicie:\r") + desktop + '\r' + error);
        installRecord().addOutside(file);
        InstallLog::write(QStringLiteral("Written the desktop entry ") + file);
    } catch (const Exception &e) {
        InstallLog::write(QStringLiteral("No desktop entry: ") + e.message());
        ErrorBox(QStringLiteral("Błąd przy zakładaniu ikony !"), e.message());
    }
    // The icon in the user's icon theme and the applications-menu entry.
    QStringList written, folders;
    QString error;
    const bool allWritten = Integration::writeMenuEntry(entry, target, written, folders, &error);
    installRecord().addCreatedFolders(folders);
    for (const QString &file : written) {
        installRecord().addOutside(file);
        InstallLog::write(QStringLiteral("Written ") + file);
    }
    if (!allWritten) {
        InstallLog::write(QStringLiteral("Not all of the icons and the menu entry written: ") + error);
        ErrorBox(QStringLiteral("Błąd przy zakładaniu ikony !"),
                 QStringLiteral("Nie można zapisać ikony w menu programów:\r") + error);
    }
    if (!written.isEmpty())
        Integration::refreshMenus();
}

void TForm1::LaunchInstalledProgram()
{
    const QStringList argv = installedProgramCommand();
    const QString folder = platform::toHostPath(ui->edKatalog->text());
    close();
    if (!installOptions().launch) {
        InstallLog::write(QStringLiteral("The installed program is not started (--no-launch)"));
        return;
    }
    InstallLog::write(QStringLiteral("Starting ") + argv.join(' '));
    platform::startDetached(argv, folder);
}
