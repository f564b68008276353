// The installer's main block.
#include "Accessible.h"
#include "AppCore.h"
#include "CommandLine.h"
#include "EmbeddedFonts.h"
#include "InstallLog.h"
#include "MessageReport.h"
#include "ToolkitEnvironment.h"
#include "UninstallMain.h"
#include "display.h"
#include "dynlib.h"
#include "files.h"
#include "program.h"
#include "signals.h"
#include "uInstDemo.h"

#include <QApplication>
#include <QScreen>
#include <cstdio>

namespace {

void printTo(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

QString programName(const QStringList &args)
{
    const QString path = args.value(0, QStringLiteral("tvo-setup"));
    return path.mid(path.lastIndexOf('/') + 1);
}

// Before the toolkit starts: the command line and the display. Returns an
// exit code when the program ends here, -1 to go on.
int checkStart(int argc, char *argv[], InstallOptions *options)
{
    const QStringList all = platform::commandLineArguments(argc, argv);
    const QStringList args = all.mid(1);
    const ParsedCommandLine cl = parseCommandLine(args, isUninstallCommand(all));
    const QString name = programName(all);
    // Text goes to the console it was started from; started from the
    // desktop (Windows), the usage and its errors come in a box.
    const bool console = !cl.error.isEmpty() || cl.options.help || cl.options.uninstall || !cl.options.showsWindow()
                             ? platform::useStarterConsole()
                             : true;
    if (!cl.error.isEmpty()) {
        printTo(stderr, name + QStringLiteral(": ") + cl.error + QStringLiteral("\n\n") + usageText(name));
        if (!console)
            platform::showTextBox(name, cl.error + QStringLiteral("\n\n") + usageText(name), true);
        return App::ExitUsage;
    }
    if (cl.options.help) {
        printTo(stdout, usageText(name));
        if (!console)
            platform::showTextBox(name, usageText(name), false);
        return App::ExitInstalled;
    }
    // The uninstaller (--uninstall, or the program under the uninstaller's
    // name) starts in a way of its own.
    if (cl.options.uninstall)
        return uninstallMain(all, argc, argv);
    *options = cl.options;
    if (!options->showsWindow())
        qputenv("QT_QPA_PLATFORM", "offscreen"); // no window, no display needed
    else if (!platform::graphicalDisplayAvailable()) {
        printTo(stderr, name + QStringLiteral(": nie znaleziono ekranu graficznego (zmienne DISPLAY i "
                                              "WAYLAND_DISPLAY); bez ekranu program zainstaluje opcja "
                                              "--very-silent.\n"));
        return App::ExitStartupRefused;
    }
    if (!options->logFile.isEmpty()) {
        QString error;
        if (!InstallLog::open(options->logFile, &error)) {
            printTo(stderr, name + QStringLiteral(": nie można otworzyć dziennika %1: %2\n").arg(options->logFile, error));
            return App::ExitUsage;
        }
        InstallLog::write(QStringLiteral("Started: ") + args.join(' '));
    }
    return -1;
}

int finish(int rc)
{
    InstallLog::write(QStringLiteral("Exit code %1").arg(rc));
    InstallLog::close();
    return rc;
}

} // namespace

int main(int argc, char *argv[])
{
    platform::restrictLibrarySearch(); // before any library is loaded
    platform::pinLocalTimeZone(); // before any thread: the zone file is read once
    ToolkitEnvironment::prepare();
    InstallOptions options;
    if (const int rc = checkStart(argc, argv, &options); rc >= 0)
        return rc;
    setInstallOptions(options);
    if (options.showsWindow())
        ToolkitEnvironment::fitLayout(TForm1::designedSize());
    MessageReport::install(options);
    ToolkitEnvironment::dropToolkitNotes();

    QApplication qapp(argc, argv);
    ToolkitEnvironment::restore();
    if (options.showsWindow()) // nothing is drawn without a window
        EmbeddedFonts::registerAll();
    App::initModules();
    Accessible::install();

    const QScreen *screen = QGuiApplication::primaryScreen();
    if (options.showsWindow() && (!screen || screen->geometry().width() < 800))
        App::fatalStartupError(QStringLiteral(
            "Program wymaga większej rozdzielczości ekranu\r(przynajmniej 800 na 600 pikseli) !"));

    App::setTitle(QStringLiteral("Instalacja TAVRO DEMO"));

    int rc = 0;
    {
        TForm1 form;
        // SIGTERM, SIGINT and SIGHUP: a confirmed close during the run (exit
        // code "cancelled"), the end of the program anywhere else.
        platform::TerminationSignals watch([&form](int signo) { form.TerminationSignal(signo); });
        if (options.unattended()) {
            rc = form.InstallUnattended();
        } else {
            form.show();
            App::exec();
            rc = form.runResult();
        }
    }
    App::runCleanups();
    return finish(rc);
}
