// The installation without a person: the folder check and the run, page 3
// shown only when the options show a window.
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include "CommandLine.h"
#include "InstallLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>

App::ExitCode TForm1::InstallUnattended()
{
    const InstallOptions &o = installOptions();
    if (!ValidateTargetFolder()) {
        InstallLog::write(QStringLiteral("The target folder was refused"));
        return App::ExitFailed;
    }
    if (App::terminated()) // a signal while the folder was being checked
        return App::ExitCancelled;
    ShowPage(3); // posts the message whose handler is the run
    if (o.showsWindow()) {
        // Page 3 is on the screen before the work starts.
        QCoreApplication::removePostedEvents(this, WM_INSTALL);
        show();
        QElapsedTimer waited;
        waited.start();
        QTimer wakeUp; // the wait below never outlasts its limit
        wakeUp.start(50);
        while (!(windowHandle() && windowHandle()->isExposed()) && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_INSTALL)));
    }
    QCoreApplication::sendPostedEvents(this, WM_INSTALL);
    const App::ExitCode result = runResult();
    if (result == App::ExitInstalled && o.launch)
        LaunchInstalledProgram(); // closes the window, then starts the program
    else
        hide();
    return result;
}
