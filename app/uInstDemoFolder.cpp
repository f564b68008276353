// The target-folder page: the folder check on accept and the chooser button.
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include "FileRoutines.h"
#include "Utils.h"
#include "explorator.h"
#include "okienko.h"

bool TForm1::ValidateTargetFolder()
{
    const QString title = QStringLiteral("Błąd");
    ui->edKatalog->setText(NormalizeDirName(ui->edKatalog->text()));
    if (ui->edKatalog->text().size() <= 3) {
        ErrorBox(title, QStringLiteral("Podaj katalog docelowy !"));
        return false;
    }
    if (DiskFreeMB(DriveNumberOf(ui->edKatalog->text())) < 55) {
        ErrorBox(title, QStringLiteral("Za mało miejsca na wybranym dysku !\rInstalacja wymaga minimum 55MB."));
        return false;
    }
    if (FolderExists(ui->edKatalog->text())
        && !ConfirmBox(QStringLiteral("Potwierdź"),
                       QStringLiteral("Podany katalog już istnieje !\rCzy chcesz kontynuować\r"
                                      "(nadpisując wszystkie pliki) ?")))
        return false;
    CreateFolderPath(ui->edKatalog->text());
    if (!FolderExists(ui->edKatalog->text())) {
        ErrorBox(title, QStringLiteral("Nieprawidłowy katalog !"));
        return false;
    }
    ui->lblKatalog->setText(ui->edKatalog->text());
    return true;
}

void TForm1::btnWybierzKatClick()
{
    explorer->setKatalog(ui->edKatalog->text());
    if (explorer->Execute())
        ui->edKatalog->setText(explorer->katalog() + QStringLiteral("TVO-DEMO\\"));
}
