#include "UninstallMain.h"

#include "Accessible.h"
#include "AppCore.h"
#include "EmbeddedFonts.h"
#include "ToolkitEnvironment.h"
#include "DesktopIntegration.h"
#include "Exceptions.h"
#include "Payload.h"
#include "Uninstall.h"
#include "desktop.h"
#include "display.h"
#include "drives.h"
#include "okienko.h"
#include "program.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

const QString kProduct = QStringLiteral("Tavro 2010 DEMO");
// In the copy the uninstaller runs from (Windows): the installation's folder.
const char kFolderVariable[] = "TVO_UNINSTALL_FOLDER";

void print(FILE *to, const QString &text)
{
    std::fputs(App::displayText(text).toUtf8().constData(), to);
    std::fflush(to);
}

bool askOnTerminal(const QString &folder)
{
    print(stdout, QStringLiteral("Czy usunąć program %1 z katalogu %2 ? [t/N] ").arg(kProduct, folder));
    // C stdio, not iostreams: the line may be of any length.
    QByteArray line;
    char chunk[256];
    while (!line.endsWith('\n') && std::fgets(chunk, sizeof chunk, stdin))
        line += chunk;
    if (line.isEmpty()) {
        print(stdout, QStringLiteral("\n"));
        return false;
    }
    const QString answer = QString::fromLocal8Bit(line).trimmed().toLower();
    return answer == QLatin1String("t") || answer == QLatin1String("tak");
}

// Asks, removes and reports; the application object exists.
int uninstall(bool gui, bool yes)
{
    const QString title = QStringLiteral("Odinstalowanie TAVRO DEMO");
    if (gui) {
        App::initModules();
        Accessible::install();
        App::setTitle(title);
    }

    const QString folder = platform::isCopyOfItself() ? qEnvironmentVariable(kFolderVariable)
                                                      : QFileInfo(InstallerFile()).absolutePath();
    const QString shownFolder = gui ? platform::toDrivePath(folder) : folder;
    Manifest manifest;
    try {
        manifest = readManifest(QDir(folder).filePath(Integration::manifestName));
    } catch (const Exception &e) {
        if (gui)
            ErrorBox(QStringLiteral("Błąd"), e.message() + QStringLiteral("\rNic nie zostało usunięte."));
        print(stderr, e.message() + QStringLiteral("\nNic nie zostało usunięte.\n"));
        return App::ExitFailed;
    }

    if (!yes) {
        const bool confirmed =
            gui ? ConfirmBox(title, QStringLiteral("Czy usunąć program %1\rz katalogu %2 ?").arg(kProduct, shownFolder))
                : askOnTerminal(shownFolder);
        if (!confirmed) {
            print(stdout, QStringLiteral("Anulowano: nic nie zostało usunięte.\n"));
            return App::ExitCancelled;
        }
    }

    const auto summaryOf = [](const UninstallReport &r) {
        return r.failed.isEmpty()
                   ? QStringLiteral("Program %1 został usunięty (usunięto plików: %2).").arg(kProduct).arg(r.removed)
                   : QStringLiteral("Nie wszystko udało się usunąć (usunięto plików: %1).").arg(r.removed);
    };
    const auto printReport = [&](const UninstallReport &r) {
        print(r.failed.isEmpty() ? stdout : stderr, summaryOf(r) + '\n' + reportText(r));
    };
    // Run from a copy (Windows), the uninstaller that waits for it ends with
    // the result once only its own file and folders are left.
    bool printed = false;
    const UninstallReport report = removeInstallation(folder, manifest, [&](const UninstallReport &soFar) {
        QString error;
        if (soFar.failed.isEmpty() && !Integration::unregisterInstallation(folder, &error))
            print(stderr, error + '\n');
        if (!platform::isCopyOfItself())
            return;
        printReport(soFar);
        printed = true;
        platform::reportExitCode(soFar.failed.isEmpty() ? App::ExitInstalled : App::ExitFailed);
    });
    Integration::refreshMenus();
    const bool failed = !report.failed.isEmpty();
    const QString summary = summaryOf(report);
    if (!printed)
        printReport(report);
    if (gui) {
        const QString details = reportText(report, 12);
        const QString text = details.isEmpty() ? summary : summary + QStringLiteral("\r\v") + details.trimmed();
        if (failed)
            ErrorBox(QStringLiteral("Błąd"), text);
        else
            ShowMsgDialog(title, text, details.isEmpty() ? mkPlain : mkWarning, mbOk);
    }
    return failed ? App::ExitFailed : App::ExitInstalled;
}

} // namespace

bool isUninstallCommand(const QStringList &args)
{
    for (qsizetype i = 1; i < args.size(); ++i)
        if (args[i] == Integration::uninstallSwitch)
            return true;
    return !args.isEmpty() && QFileInfo(args[0]).fileName() == Integration::uninstallerName;
}

int uninstallMain(const QStringList &args, int argc, char **argv)
{
    bool yes = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--yes")) {
            yes = true;
        } else if (args[i] != Integration::uninstallSwitch) {
            print(stderr, QStringLiteral("Nieznana opcja: %1\nUżycie: %2 [--uninstall] [--yes]\n")
                              .arg(args[i], Integration::uninstallerName));
            return App::ExitUsage;
        }
    }
    if (platform::mustRunFromCopy()) {
        // The copy, told where the installation is, does the work (there is no
        // application object yet: the program's file is args[0], its own path).
        QString error;
        const QStringList copyArgs = QStringList(args.value(0)) << Integration::uninstallSwitch << args.mid(1);
        const int rc = platform::runCopyOfItself(
            copyArgs, {QString::fromLatin1(kFolderVariable) + '=' + QFileInfo(args.value(0)).absolutePath()}, &error);
        if (rc >= 0)
            return rc;
        print(stderr, QStringLiteral("Nie można uruchomić programu odinstalowującego z katalogu tymczasowego: %1\n"
                                     "Nic nie zostało usunięte.\n").arg(error));
        return App::ExitFailed;
    }
    // A window only when a person can answer it; --yes asks nothing.
    const bool display = !yes && platform::graphicalDisplayAvailable();
    std::unique_ptr<QCoreApplication> qapp;
    if (display) {
        qapp = std::make_unique<QApplication>(argc, argv);
    } else {
        qapp = std::make_unique<QCoreApplication>(argc, argv);
    }
    ToolkitEnvironment::restore();
    if (display)
        EmbeddedFonts::registerAll();
    const QString platformName = display ? QGuiApplication::platformName() : QString();
    const bool gui = display && platformName != QLatin1String("offscreen") && platformName != QLatin1String("minimal");
    const int rc = uninstall(gui, yes);
    platform::reportExitCode(rc); // when it ended before removing anything
    App::runCleanups();
    return rc;
}
