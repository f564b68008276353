#pragma once
// The installer's one window: four pages above a hint bar.
#include "AppCore.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TForm1;
}
class TFramePacer;
class THintBar;
class TGauge;
class TExplorer;
class TFindFiles;
class TUnRAR;
class QEvent;
class InstallRecord;

// The private message by which the window starts the installation run once
// the switch to the progress page has been handled.
constexpr int WM_INSTALL = 10147;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // The client area as laid out, in pixels at 96 DPI.
    static QSize designedSize() { return {780, 473}; }

    int currentPage() const { return m_page; }
    void ShowPage(int n);
    void hbAccept();
    void hbCancel();
    // A termination signal: during the installation run it acts like a
    // confirmed close (the run stops at its next step and ends as cancelled);
    // on any other page the program ends at once, without a question.
    void TerminationSignal(int signo);

    std::unique_ptr<Ui::TForm1> ui;
    THintBar *hb = nullptr;
    TGauge *gaugeInstalka = nullptr;
    TGauge *gaugePlik = nullptr;
    TExplorer *explorer = nullptr;
    TFindFiles *FindFiles = nullptr;
    TUnRAR *UnRAR = nullptr;

    void btnWybierzKatClick();

    // The installer's own folder in drive form, and the installed program's
    // command line (host paths: the program, then "katCD=" and that folder).
    QString installerFolder() const;
    QStringList installedProgramCommand() const;

    // The installation without the first two pages (--silent, --very-silent):
    // the folder check, then the run on page 3, shown only when the options
    // show a window. Questions are not asked; the options answer them.
    App::ExitCode InstallUnattended();
    // How the last installation run ended.
    App::ExitCode runResult() const { return m_runResult; }

    // What the installation creates, for the uninstaller's list.
    InstallRecord &installRecord();

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void showEvent(QShowEvent *e) override;

    // The installation run, started by WM_INSTALL.
    virtual void RunInstallation();
    // Checks and creates the target folder; true when the run may start.
    virtual bool ValidateTargetFolder();
    virtual void LaunchInstalledProgram();

    // Steps of the installation run.
    void installFromPayload();
    void installByCopying();
    // Before anything is written: names the target's file system cannot
    // hold end the run; files of an earlier installation held open by
    // another program are asked about until they are free (or the run ends).
    void checkEntries(const QStringList &relNames);
    void UnRARExtractFile(QObject *sender, const QString &fileName, bool &skipThisFile);
    void ProgressTick();
    void CreateTargetSubfolder(const QString &relName);
    void CopyOneFile(const QString &relName);
    void CreateDesktopShortcut();
    void writeDesktopShortcut();
    // Shows the error and ends the run as failed.
    [[noreturn]] void failRun(const QString &title, const QString &text);
    // Writes the uninstaller and the list of what was created into the target.
    void writeUninstallData();

private:
    void FormCreate();
    bool FormCloseQuery();
    bool FormKeyDown(int key);
    void createComponents();
    void loadPictures();
    void loadShortcutPicture();

    int m_page = 0;
    bool m_placed = false; // moved inside the work area once, when first shown
    TFramePacer *m_pacer = nullptr; // paces the run's label and gauges while it lives
    App::ExitCode m_runResult = App::ExitInstalled;
    bool m_errorShown = false; // the run reported an error before it stopped
    std::unique_ptr<InstallRecord> m_record;
    InstallRecord *m_runRecord = nullptr; // the record of the run under way: its target is fixed
};
