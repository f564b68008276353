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

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

const QString kProduct = QStringLiteral("Tavro 2010 DEMO");

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

    const QString folder = QFileInfo(InstallerFile()).absolutePath();
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

    const UninstallReport report = removeInstallation(folder, manifest);
    platform::refreshDesktopCaches(platform::dataHome());
    const bool failed = !report.failed.isEmpty();
    const QString summary = failed ? QStringLiteral("Nie wszystko udało się usunąć (usunięto plików: %1).").arg(report.removed)
                                   : QStringLiteral("Program %1 został usunięty (usunięto plików: %2).").arg(kProduct).arg(report.removed);
    print(failed ? stderr : stdout, summary + '\n' + reportText(report));
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

bool isUninstallCommand(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (Integration::uninstallSwitch == QLatin1String(argv[i]))
            return true;
    return argc > 0 && QFileInfo(QFile::decodeName(argv[0])).fileName() == Integration::uninstallerName;
}

int uninstallMain(int argc, char **argv)
{
    bool yes = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--yes") == 0) {
            yes = true;
        } else if (Integration::uninstallSwitch != QLatin1String(argv[i])) {
            print(stderr, QStringLiteral("Nieznana opcja: %1\nUżycie: %2 [--uninstall] [--yes]\n")
                              .arg(QString::fromLocal8Bit(argv[i]), Integration::uninstallerName));
            return App::ExitUsage;
        }
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
    App::runCleanups();
    return rc;
}
