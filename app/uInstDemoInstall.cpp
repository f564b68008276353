// The installation run: from the embedded payload, or by copying the
// TVO-DEMO folder that lies beside the installer.
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include "AppCore.h"
#include "FileRoutines.h"
#include "FindFiles.h"
#include "Gauges.h"
#include "Payload.h"
#include "UnRAR.h"
#include "Utils.h"
#include "okienko.h"
#include "drives.h"

#include <QFile>

namespace {

// Deletes a drive-form file; failures are of no interest here.
void deleteQuietly(const QString &path)
{
    const QString host = platform::toHostPath(path);
    if (!host.isEmpty())
        QFile::remove(host);
}

} // namespace

void TForm1::RunInstallation()
{
    SetBusyCursor(true, false); // the hourglass, through the program's cursor stack
    try {
        if (HasEmbeddedLibrary())
            installFromPayload();
        else
            installByCopying();
        CreateDesktopShortcut();
    } catch (const std::exception &e) {
        App::showException(e);
        App::terminate();
    }
    SetBusyCursor(false, false);
    ShowPage(4);
}

void TForm1::installFromPayload()
{
    const QString target = ui->edKatalog->text();
    const QString library = target + QStringLiteral("TVOUNRAR.DLL");
    WriteEmbeddedLibrary(library);
    LoadUnrarLibrary(library);
    struct CleanUp {
        TUnRAR *unrar;
        QString library;
        ~CleanUp()
        {
            UnloadUnrarLibrary();
            deleteQuietly(unrar->ArchiveFile());
            deleteQuietly(library);
        }
    } cleanUp{UnRAR, library};

    ui->lblKopiowanie->setText(QStringLiteral("Odczyt archiwum..."));
    ui->lblKopiowanie->adjustSize(); // the label is as wide as its text
    gaugePlik->hide();
    repaint();
    UnRAR->setArchiveFile(target + QStringLiteral("TVO-DEMO.RAR"));
    WriteEmbeddedArchive(UnRAR->ArchiveFile());
    UnRAR->ListFiles();
    gaugeInstalka->setMaxValue(qint32(UnRAR->Files().size()));
    ui->lblKopiowanie->setText(QStringLiteral("Rozpakowywanie pliku: "));
    ui->lblKopiowanie->adjustSize();
    ui->lblPlik->move(ui->lblKopiowanie->x() + ui->lblKopiowanie->width(), ui->lblPlik->y());
    UnRAR->ExtractTo(target);
}

void TForm1::UnRARExtractFile(QObject *, const QString &fileName, bool &)
{
    ui->lblPlik->setText(fileName);
    gaugeInstalka->setProgress(gaugeInstalka->progress() + 1);
    App::processMessages();
    if (App::terminated())
        throw EAbort();
}

void TForm1::installByCopying()
{
    FindFiles->setDirectory(NormalizeDirName(installerFolder()) + QStringLiteral("TVO-DEMO\\"));
    if (!FolderExists(FindFiles->Directory())) {
        ErrorBox(QStringLiteral("Błąd"), QStringLiteral("Nie znaleziono katalogu:\r") + FindFiles->Directory());
        throw EAbort();
    }
    FindFiles->Search();
    const TFileList &items = FindFiles->FileList;
    gaugeInstalka->setMaxValue(items.Count() + 1);
    for (int i = 0; i < items.Count(); ++i) {
        const TFileObj *item = items.Items(i);
        if (item->Attr().contains(atDirectory))
            CreateTargetSubfolder(item->RelName());
        else
            CopyOneFile(item->RelName());
    }
}

void TForm1::ProgressTick()
{
    gaugeInstalka->setProgress(gaugeInstalka->progress() + 1);
    App::processMessages();
    if (App::terminated())
        throw EAbort();
}

void TForm1::CreateTargetSubfolder(const QString &relName)
{
    CreateFolderPath(ui->edKatalog->text() + relName);
    ProgressTick();
}

void TForm1::CopyOneFile(const QString &relName)
{
    const QString source = NormalizeDirName(FindFiles->Directory()) + relName;
    const QString dest = ui->edKatalog->text() + relName;
    ui->lblPlik->setText(source);
    repaint();
    try {
        CopyFileWithProgress(source, dest, gaugePlik);
    } catch (const std::exception &) {
        const QString text = QStringLiteral("Nie można skopiować pliku ") + platform::fileNamePart(source)
            + QStringLiteral(" do:\r") + dest;
        if (!OkCancelBox(QStringLiteral("Błąd przy kopiowaniu pliku !"), text))
            throw EAbort();
    }
    ClearFileAttributes(dest);
    ProgressTick();
}
