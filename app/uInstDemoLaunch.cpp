// The closing steps: the desktop shortcut and the start of the installed program.
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include "Exceptions.h"
#include "Gauges.h"
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
    try {
        const QString desktop = platform::desktopFolder();
        QDir().mkpath(desktop);
        const platform::DesktopEntry entry{QStringLiteral("Tavro 2010 DEMO"), installedProgramCommand(),
                                           platform::toHostPath(ui->edKatalog->text())};
        QString error;
        if (!platform::writeDesktopEntry(desktop + QStringLiteral("/Tavro 2010 DEMO.desktop"), entry, &error))
            throw Exception(QStringLiteral("Nie można zapisać skrótu na pulpicie:\r") + desktop + '\r' + error);
    } catch (const Exception &e) {
        ErrorBox(QStringLiteral("Błąd przy zakładaniu ikony !"), e.message());
    }
    ProgressTick();
}

void TForm1::LaunchInstalledProgram()
{
    const QStringList argv = installedProgramCommand();
    const QString folder = platform::toHostPath(ui->edKatalog->text());
    close();
    platform::startDetached(argv, folder);
}
