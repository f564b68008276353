// The installation without a person: the folder check and the run, page 3
// shown only when the options show a window.
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include "CommandLine.h"
#include "InstallLog.h"

#include <QCoreApplication>

App::ExitCode TForm1::InstallUnattended()
{
    const InstallOptions &o = installOptions();
    if (!ValidateTargetFolder()) {
        InstallLog::write(QStringLiteral("The target folder was refused"));
        return App::ExitFailed;
    }
    if (o.showsWindow())
        show();
    ShowPage(3);
    // The run is the handler of the message page 3 has just posted.
    QCoreApplication::sendPostedEvents(this, WM_INSTALL);
    const App::ExitCode result = runResult();
    if (result == App::ExitInstalled && o.launch)
        LaunchInstalledProgram(); // closes the window, then starts the program
    else
        hide();
    return result;
}
