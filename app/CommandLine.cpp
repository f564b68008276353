#include "CommandLine.h"

#include "drives.h"

namespace {

InstallOptions g_options;

// "--name=value" or "--name value": the value of a valued option. Sets
// *error when it is missing.
bool takeValue(const QStringList &args, qsizetype &i, const QString &name, QString *value, QString *error)
{
    const QString &arg = args.at(i);
    if (arg.startsWith(name + '=')) {
        *value = arg.mid(name.size() + 1);
        return true;
    }
    if (arg != name)
        return false;
    if (i + 1 >= args.size()) {
        *error = QStringLiteral("opcja %1 wymaga wartości").arg(name);
        return true;
    }
    *value = args.at(++i);
    return true;
}

// The "--" option a deployment tool's "/NAME[=value]" stands for; empty for
// /NORESTART, which asks nothing of this installer; the argument itself when
// it is no such form.
QString longForm(const QString &arg)
{
    static const QList<std::pair<QLatin1String, QLatin1String>> forms{
        {QLatin1String("/SILENT"), QLatin1String("--silent")},
        {QLatin1String("/VERYSILENT"), QLatin1String("--very-silent")},
        {QLatin1String("/SUPPRESSMSGBOXES"), QLatin1String("--suppress-msgboxes")},
        {QLatin1String("/NOICONS"), QLatin1String("--no-icons")},
        {QLatin1String("/NORESTART"), QLatin1String("")},
        {QLatin1String("/HELP"), QLatin1String("--help")},
        {QLatin1String("/?"), QLatin1String("--help")},
        {QLatin1String("/DIR="), QLatin1String("--dir=")},
        {QLatin1String("/LOG="), QLatin1String("--log=")},
    };
    for (const auto &[form, option] : forms) {
        const bool valued = form.endsWith('=');
        if (valued ? arg.startsWith(form, Qt::CaseInsensitive) : arg.compare(form, Qt::CaseInsensitive) == 0)
            return option + (valued ? arg.mid(form.size()) : QString());
    }
    return arg;
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList &args, bool asUninstaller)
{
    ParsedCommandLine r;
    InstallOptions &o = r.options;
    o.uninstall = asUninstaller;
    bool silent = false, verySilent = false, launch = false, noLaunch = false, dirGiven = false;
    QStringList given;
    for (const QString &arg : args)
        if (const QString a = longForm(arg); !a.isEmpty())
            given << a;
    for (qsizetype i = 0; i < given.size() && r.error.isEmpty(); ++i) {
        const QString &a = given.at(i);
        QString value;
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            o.help = true;
        else if (a == QLatin1String("--silent"))
            silent = true;
        else if (a == QLatin1String("--very-silent"))
            verySilent = true;
        else if (a == QLatin1String("--suppress-msgboxes"))
            o.suppressBoxes = true;
        else if (a == QLatin1String("--overwrite"))
            o.overwrite = true;
        else if (a == QLatin1String("--no-icons"))
            o.icons = false;
        else if (a == QLatin1String("--uninstall"))
            o.uninstall = true;
        else if (a == QLatin1String("--yes"))
            o.yes = true;
        else if (a == QLatin1String("--launch"))
            launch = true;
        else if (a == QLatin1String("--no-launch"))
            noLaunch = true;
        else if (takeValue(given, i, QStringLiteral("--dir"), &value, &r.error)) {
            o.dir = value;
            dirGiven = true;
        } else if (takeValue(given, i, QStringLiteral("--log"), &value, &r.error)) {
            if (value.isEmpty() && r.error.isEmpty())
                r.error = QStringLiteral("opcja --log wymaga nazwy pliku");
            o.logFile = value;
        } else if (a.startsWith('-'))
            r.error = QStringLiteral("nieznana opcja: %1").arg(a);
        else
            r.error = QStringLiteral("nieoczekiwany argument: %1").arg(a);
    }
    if (!r.error.isEmpty())
        return r;
    if (silent && verySilent)
        r.error = QStringLiteral("opcje --silent i --very-silent wykluczają się");
    else if (launch && noLaunch)
        r.error = QStringLiteral("opcje --launch i --no-launch wykluczają się");
    else if (dirGiven && o.dir.isEmpty())
        r.error = QStringLiteral("opcja --dir wymaga nazwy katalogu");
    else if (o.yes && !o.uninstall)
        r.error = QStringLiteral("opcja --yes działa tylko razem z --uninstall");
    else if (o.uninstall
             && (dirGiven || silent || verySilent || o.overwrite || !o.icons || launch || noLaunch || !o.logFile.isEmpty()
                 || o.suppressBoxes))
        r.error = QStringLiteral("odinstalowanie (--uninstall) nie łączy się z opcjami instalacji");
    o.mode = verySilent ? RunMode::VerySilent : silent ? RunMode::Silent : RunMode::Wizard;
    // The wizard asks the person on its last page; the silent modes start
    // nothing unless told to.
    o.launch = launch || (!noLaunch && o.mode == RunMode::Wizard);
    return r;
}

QString usageText(const QString &programName, platform::System system)
{
    // What differs between the systems: the forms of a folder, the display
    // the window needs, where the icons go.
    const bool windows = system == platform::System::Windows;
    const QString dir = windows
        ? QStringLiteral("  --dir=KATALOG   katalog docelowy, w postaci C:\\PROGRAMY\\TVO-DEMO\\; w kreatorze:\n"
                         "                  początkowa treść pola katalogu\n")
        : QStringLiteral("  --dir=KATALOG   katalog docelowy, w postaci C:\\PROGRAMY\\TVO-DEMO\\ albo jako ścieżka\n"
                         "                  systemu plików (/home/jan/TVO-DEMO); w kreatorze: początkowa\n"
                         "                  treść pola katalogu\n");
    const QString verySilent = windows
        ? QStringLiteral("  --very-silent   bez żadnego okna; treść każdego okienka trafia na standardowe\n"
                         "                  wyjście błędów\n")
        : QStringLiteral("  --very-silent   bez żadnego okna i bez ekranu graficznego; treść każdego\n"
                         "                  okienka trafia na standardowe wyjście błędów\n");
    const QString noIcons = windows ? QStringLiteral("  --no-icons      bez skrótu na pulpicie i w menu Start\n")
                                    : QStringLiteral("  --no-icons      bez ikony na pulpicie i w menu programów\n");
    const QString refused = windows ? QStringLiteral("1 odmowa uruchomienia (za mała rozdzielczość ekranu),\n")
                                    : QStringLiteral("1 odmowa uruchomienia (brak ekranu graficznego, za mała rozdzielczość),\n");
    return QStringLiteral("Użycie: %1 [OPCJE]\n"
                          "Instaluje wersję demonstracyjną Wylicznika TAVRO 2010.\n"
                          "\n")
               .arg(programName)
        + dir
        + QStringLiteral("  --silent        bez stron kreatora i bez pytań: widać tylko przebieg instalacji;\n"
                         "                  błędy pokazują swoje okienka\n")
        + verySilent
        + QStringLiteral("  --overwrite     instaluje także do istniejącego katalogu, nadpisując pliki\n"
                         "                  (bez tej opcji instalacja bez pytań kończy się tam błędem)\n")
        + noIcons
        + QStringLiteral("  --no-launch     nie uruchamia zainstalowanego programu na końcu\n"
                         "  --launch        uruchamia go na końcu także w trybach --silent i --very-silent\n"
                         "  --suppress-msgboxes  (z --silent) treść okienek trafia na standardowe wyjście\n"
                         "                  błędów, jak w trybie --very-silent; nikt nie musi ich zamykać\n"
                         "  --log=PLIK      dopisuje przebieg instalacji do pliku (tekst UTF-8)\n"
                         "  --help          ten opis\n"
                         "  --uninstall     usuwa instalację, w której katalogu leży ten plik (tak działa\n"
                         "                  ODINSTALUJ.EXE, który instalacja tam zostawia); pyta raz, chyba że\n"
                         "  --yes           (razem z --uninstall) usuwa bez pytania\n"
                         "\n"
                         "Opcje można też podać w postaci programów instalacyjnych Windows, bez względu\n"
                         "na wielkość liter: /SILENT, /VERYSILENT, /SUPPRESSMSGBOXES, /DIR=\"KATALOG\",\n"
                         "/LOG=\"PLIK\", /NOICONS, /NORESTART (przyjmowana; restart nie jest potrzebny),\n"
                         "/? i /HELP.\n"
                         "\n"
                         "Kody wyjścia: 0 zainstalowano (albo zamknięto przed instalacją),\n")
        + refused
        + QStringLiteral("2 błąd w wierszu poleceń, 3 instalacja nieudana, 4 instalacja przerwana.\n"
                         "Odinstalowanie: 0 usunięto, 2 błąd w wierszu poleceń, 3 czegoś nie dało się\n"
                         "usunąć (lista na wyjściu błędów), 4 przerwano.\n");
}

QString targetFolderArgument(const QString &dir)
{
    if (dir.isEmpty())
        return dir;
    // Drive-form text may separate its folders by "/" as well (Windows takes
    // both); the folder box shows them as "\", the form every path of the
    // program is in. On Windows every folder given is in drive form.
    QString slashed = dir;
    slashed.replace('/', '\\');
    const bool driveForm = platform::hostSystem() == platform::System::Windows
        || (!dir.startsWith('/')
            && ((dir.size() >= 2 && dir.at(1) == ':' && dir.at(0).isLetter()) || dir.contains('\\')));
    if (driveForm)
        return slashed;
    const QString drive = platform::toDrivePath(dir);
    // A host path that no drive covers stays as given; the folder check then
    // refuses it like any other unusable name.
    return drive.isEmpty() ? dir : drive;
}

const InstallOptions &installOptions() { return g_options; }
void setInstallOptions(const InstallOptions &options) { g_options = options; }
