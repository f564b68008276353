// The closing steps: the desktop shortcut and the start of the installed program.
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include "CommandLine.h"
#include "Exceptions.h"
#include "Gauges.h"
#include "InstallLog.h"
#include "Payload.h"
#include "desktop.h"
#include "drives.h"
#include "okienko.h"

#include <QDir>
#include <QFileInfo>

QString TForm1::installerFolder() const
{
    return platform::toDrivePath(QFileInfo(InstallerFile()).absolutePath());
}

QStringList TForm1::installedProgramCommand() const
{
    // The installer's folder, without a final separator except at the root.
    const QString folder = QDir::cleanPath(QFileInfo(InstallerFile()).absolutePath());
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
        InstallLog::write(QStringLiteral("No desktop entry (--no-icons)"));
    ProgressTick();
}

void TForm1::writeDesktopShortcut()
{
    try {
        const QString desktop = platform::desktopFolder();
        QDir().mkpath(desktop);
        const platform::DesktopEntry entry{QStringLiteral("Tavro 2010 DEMO"), installedProgramCommand(),
                                           platform::toHostPath(ui->edKatalog->text())};
        QString error;
        const QString file = desktop + QStringLiteral("/Tavro 2010 DEMO.desktop");
        if (!platform::writeDesktopEntry(file, entry, &error))
            throw Exception(QStringLiteral("Nie można zapisać skrótu na pulpicie:\r") + desktop + '\r' + error);
        InstallLog::write(QStringLiteral("Written the desktop entry ") + file);
    } catch (const Exception &e) {
        InstallLog::write(QStringLiteral("No desktop entry: ") + e.message());
        ErrorBox(QStringLiteral("Błąd przy zakładaniu ikony !"), e.message());
    }
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
