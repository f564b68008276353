// The target-folder page: the folder check on accept and the chooser button.
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include "CommandLine.h"
#include "FileRoutines.h"
#include "InstallLog.h"
#include "Manifest.h"
#include "Utils.h"
#include "drives.h"
#include "explorator.h"
#include "files.h"
#include "okienko.h"
#include "ownedfiles.h"

namespace {

// The folder-exists question; without a person the options answer it, and a
// refusal is reported as the error that ends the installation.
bool overwriteExistingFolder(const QString &folder)
{
    const InstallOptions &o = installOptions();
    if (!o.unattended())
        return ConfirmBox(QStringLiteral("Potwierdź"),
                          QStringLiteral("Podany katalog już istnieje !\rCzy chcesz kontynuować\r"
                                         "(nadpisując wszystkie pliki) ?"));
    if (o.overwrite) {
        InstallLog::write(QStringLiteral("The folder exists; its files are overwritten (--overwrite): ") + folder);
        return true;
    }
    ErrorBox(QStringLiteral("Błąd"), QStringLiteral("Podany katalog już istnieje !\r"
                                                    "Aby zainstalować w nim program, nadpisując pliki,\r"
                                                    "podaj opcję --overwrite."));
    return false;
}

} // namespace

bool TForm1::ValidateTargetFolder()
{
    const QString title = QStringLiteral("Błąd");
    ui->edKatalog->setText(NormalizeDirName(ui->edKatalog->text()));
    const QString folder = ui->edKatalog->text();
    InstallLog::write(QStringLiteral("Target folder: ") + folder);
    if (folder.size() <= 3) {
        ErrorBox(title, QStringLiteral("Podaj katalog docelowy !"));
        return false;
    }
    // The file system that will hold the folder counts: where the folder or
    // its parents are not made yet (a home folder that does not exist), the
    // nearest folder above them that exists.
    const long double freeMB = BytesToMB(platform::diskFreeBytes(folder));
    InstallLog::write(QStringLiteral("Free space on its file system: %1 MB").arg(double(freeMB), 0, 'f', 1));
    if (freeMB < 55) {
        ErrorBox(title, QStringLiteral("Za mało miejsca na wybranym dysku !\rInstalacja wymaga minimum 55MB."));
        return false;
    }
    if (FolderExists(folder) && !overwriteExistingFolder(folder))
        return false;
    const QStringList created = platform::missingFolders(platform::toHostPath(folder));
    CreateFolderPath(folder);
    if (!FolderExists(folder)) {
        ErrorBox(title, QStringLiteral("Nieprawidłowy katalog !"));
        return false;
    }
    installRecord().addCreatedFolders(created); // removed again by the uninstaller when empty
    InstallLog::write(QStringLiteral("Target folder accepted: ") + folder + QStringLiteral(" (")
                      + platform::toHostPath(folder) + ')');
    ui->lblKatalog->setText(folder);
    return true;
}

void TForm1::btnWybierzKatClick()
{
    explorer->setKatalog(ui->edKatalog->text());
    if (explorer->Execute())
        ui->edKatalog->setText(explorer->katalog() + QStringLiteral("TVO-DEMO\\"));
}
