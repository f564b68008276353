// The installation run: from the embedded payload, or by copying the
// TVO-DEMO folder that lies beside the installer.
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include "AppCore.h"
#include "CommandLine.h"
#include "Exceptions.h"
#include "FileRoutines.h"
#include "FindFiles.h"
#include "FramePacer.h"
#include "Manifest.h"
#include "Gauges.h"
#include "InstallLog.h"
#include "Payload.h"
#include "UnRAR.h"
#include "Utils.h"
#include "okienko.h"
#include "drives.h"
#include "names.h"
#include "tempfile.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

namespace {

// Removes one of the installation's own files, only while its name still
// refers to the file written (another file put there stays), and logs it.
// The last close, where the system frees the archive's space, runs while
// the run goes on; the run waits for it at its end.
void removeTemporary(platform::TempFile &file, const QString &path)
{
    if (!file.isCreated())
        return;
    const bool ours = file.nameIsOurs();
    if (file.removeClosingInBackground())
        InstallLog::write(QStringLiteral("Removed the temporary file ") + path);
    else if (!ours)
        InstallLog::write(QStringLiteral("Left ") + path + QStringLiteral(" alone: it is not the file the installer wrote"));
    else
        InstallLog::write(QStringLiteral("Could not remove the temporary file ") + path);
}

// A line of the log for a file the installation wrote.
void logWritten(const QString &what, const QString &path)
{
    if (InstallLog::isOpen())
        InstallLog::write(QStringLiteral("Written %1: %2 (%3 bytes)")
                              .arg(what, path)
                              .arg(QFileInfo(platform::toHostPath(path)).size()));
}

} // namespace

void TForm1::RunInstallation()
{
    SetBusyCursor(true, false); // the hourglass, through the program's cursor stack
    m_runResult = App::ExitInstalled;
    m_errorShown = false;
    m_runRecord = &installRecord();
    const auto unpin = qScopeGuard([this] { m_runRecord = nullptr; });
    try {
        if (HasEmbeddedLibrary())
            installFromPayload();
        else
            installByCopying();
        CreateDesktopShortcut();
        InstallLog::write(QStringLiteral("Installation finished"));
    } catch (const std::exception &e) {
        const bool silent = dynamic_cast<const EAbort *>(&e) != nullptr;
        // A silent abort after an error box is a failure; without one it
        // is a cancel (a confirmed close, a signal).
        m_runResult = silent && !m_errorShown ? App::ExitCancelled : App::ExitFailed;
        if (!silent) {
            const auto *ex = dynamic_cast<const Exception *>(&e);
            InstallLog::write(QStringLiteral("Error: ") + (ex ? ex->message() : QString::fromLocal8Bit(e.what())));
        }
        InstallLog::write(m_runResult == App::ExitCancelled ? QStringLiteral("Installation cancelled")
                                                            : QStringLiteral("Installation failed"));
        App::showException(e);
        App::terminate();
    }
    // Where a removed temporary file's name goes only at its last close, the
    // list must not see it yet.
    platform::finishBackgroundCloses();
    writeUninstallData(); // also after a failure: what is there can be removed again
    SetBusyCursor(false, false);
    ShowPage(4);
}

void TForm1::installFromPayload()
{
    const QString target = ui->edKatalog->text();
    const QString library = target + QStringLiteral("TVOUNRAR.DLL");
    const QString archive = target + QStringLiteral("TVO-DEMO.RAR");
    // The two files of our own in the target folder: once created, each is
    // removed on every way out, and only while its name still refers to it.
    platform::TempFile libraryFile, archiveFile;
    const auto cleanUp = qScopeGuard([&] {
        UnRAR->setWrittenArchive(nullptr);
        UnloadUnrarLibrary();
        removeTemporary(archiveFile, archive);
        removeTemporary(libraryFile, library);
    });
    // Both are removed again at the end; a library that failed to load stays.
    installRecord().addBelowTarget(QStringLiteral("TVOUNRAR.DLL"));
    installRecord().addBelowTarget(QStringLiteral("TVO-DEMO.RAR"));
    WriteEmbeddedLibrary(library, &libraryFile);
    logWritten(QStringLiteral("the unrar library"), library);
    LoadUnrarLibrary(library, libraryFile); // the file written, not whatever has its name now

    ui->lblKopiowanie->setText(QStringLiteral("Odczyt archiwum..."));
    ui->lblKopiowanie->adjustSize(); // the label is as wide as its text
    gaugePlik->hide();
    repaint();
    UnRAR->setArchiveFile(archive);
    WriteEmbeddedArchive(UnRAR->ArchiveFile(), &archiveFile);
    UnRAR->setWrittenArchive(&archiveFile); // the library reads the file written, not whatever has its name
    logWritten(QStringLiteral("the archive"), UnRAR->ArchiveFile());
    UnRAR->ListFiles();
    QStringList names;
    for (const auto &entry : UnRAR->Files())
        names << entry.first;
    checkEntries(names);
    gaugeInstalka->setMaxValue(qint32(UnRAR->Files().size()));
    InstallLog::write(QStringLiteral("The archive holds %1 entries").arg(UnRAR->Files().size()));
    ui->lblKopiowanie->setText(QStringLiteral("Rozpakowywanie pliku: "));
    ui->lblKopiowanie->adjustSize();
    ui->lblPlik->move(ui->lblKopiowanie->x() + ui->lblKopiowanie->width(), ui->lblPlik->y());
    TFramePacer pacer({ui->lblPlik, gaugeInstalka});
    m_pacer = &pacer;
    const auto unpace = qScopeGuard([this] { m_pacer = nullptr; });
    UnRAR->ExtractTo(target);
}

void TForm1::checkEntries(const QStringList &relNames)
{
    const QString title = QStringLiteral("Błąd");
    for (const QString &name : relNames)
        if (const QString problem = platform::hostNameProblem(name); !problem.isEmpty())
            failRun(title, QStringLiteral("Tej pozycji nie można zapisać w systemie plików:\r%1\r%2.\rNic nie "
                                          "zostało zainstalowane.")
                               .arg(name, problem));
    if (const QStringList twins = platform::hostLetterCaseTwins(relNames); !twins.isEmpty())
        failRun(title, QStringLiteral("Te pozycje różnią się tylko wielkością liter, a w tym systemie plików byłyby "
                                      "jednym plikiem:\r%1\r%2\rNic nie zostało zainstalowane.")
                           .arg(QDir::toNativeSeparators(twins[0]), QDir::toNativeSeparators(twins[1])));
    const QString target = ui->edKatalog->text();
    for (const QString &name : relNames) {
        const QString file = target + QString(name).replace('/', '\\');
        while (platform::fileInUse(platform::toHostPath(file))) {
            const QString text = QStringLiteral("Plik jest używany przez inny program:\r%1\rZamknij ten program i %2.")
                                     .arg(file, installOptions().unattended() ? QStringLiteral("uruchom instalację ponownie")
                                                                              : QStringLiteral("wybierz „Powtórz”"));
            InstallLog::write(QStringLiteral("In use by another program: ") + file);
            if (installOptions().unattended())
                failRun(title, text);
            if (!RetryBox(title, text))
                throw EAbort();
        }
    }
}

void TForm1::UnRARExtractFile(QObject *, const QString &fileName, bool &)
{
    ui->lblPlik->setText(fileName);
    if (InstallLog::isOpen()) // the text is made only for a log
        InstallLog::write(QStringLiteral("Extracting ") + fileName);
    installRecord().addBelowTarget(fileName);
    ProgressTick();
}

void TForm1::installByCopying()
{
    FindFiles->setDirectory(NormalizeDirName(installerFolder()) + QStringLiteral("TVO-DEMO\\"));
    InstallLog::write(QStringLiteral("Copying the folder ") + FindFiles->Directory());
    if (!FolderExists(FindFiles->Directory()))
        failRun(QStringLiteral("Błąd"), QStringLiteral("Nie znaleziono katalogu:\r") + FindFiles->Directory());
    FindFiles->Search();
    const TFileList &items = FindFiles->FileList;
    QStringList names;
    for (int i = 0; i < items.Count(); ++i)
        names << items.Items(i)->RelName();
    checkEntries(names);
    gaugeInstalka->setMaxValue(items.Count() + 1);
    InstallLog::write(QStringLiteral("The folder holds %1 entries").arg(items.Count()));
    // Every entry sets the label and moves the gauges; their pixels reach
    // the screen once per display frame (thousands of names a second are
    // beyond anyone's reading, and each at-once repaint is a trip through
    // the display server).
    TFramePacer pacer({ui->lblPlik, gaugeInstalka, gaugePlik});
    m_pacer = &pacer;
    const auto unpace = qScopeGuard([this] { m_pacer = nullptr; });
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
    if (m_pacer)
        m_pacer->frame();
    App::processMessages();
    if (App::terminated())
        throw EAbort();
}

void TForm1::CreateTargetSubfolder(const QString &relName)
{
    installRecord().addBelowTarget(relName);
    const QString folder = ui->edKatalog->text() + relName;
    CreateFolderPath(folder);
    if (InstallLog::isOpen()) // a folder that could not be made shows in its files' failures
        InstallLog::write((FolderExists(folder) ? QStringLiteral("Created the folder ")
                                                : QStringLiteral("Could not create the folder "))
                          + relName);
    ProgressTick();
}

void TForm1::CopyOneFile(const QString &relName)
{
    const QString source = NormalizeDirName(FindFiles->Directory()) + relName;
    const QString dest = ui->edKatalog->text() + relName;
    ui->lblPlik->setText(source);
    installRecord().addBelowTarget(relName);
    try {
        CopyFileWithProgress(source, dest, gaugePlik);
        if (InstallLog::isOpen())
            InstallLog::write(QStringLiteral("Copied ") + relName);
    } catch (const std::exception &) {
        const QString title = QStringLiteral("Błąd przy kopiowaniu pliku !");
        const QString text = QStringLiteral("Nie można skopiować pliku ") + platform::fileNamePart(source)
            + QStringLiteral(" do:\r") + dest;
        InstallLog::write(QStringLiteral("Could not copy ") + relName);
        // Without a person nobody can let the file pass: an installation
        // that leaves a file out is not reported as done.
        if (installOptions().unattended())
            failRun(title, text);
        if (m_pacer)
            m_pacer->flush(); // the question names the file the window shows
        if (!OkCancelBox(title, text))
            throw EAbort();
    }
    ClearFileAttributes(dest);
    ProgressTick();
}

void TForm1::failRun(const QString &title, const QString &text)
{
    m_errorShown = true;
    if (m_pacer)
        m_pacer->flush();
    ErrorBox(title, text);
    throw EAbort();
}
