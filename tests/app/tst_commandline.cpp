// The command line's parser, the --dir conversion, the log's lines and the
// reports that replace message boxes.
#include "AppCore.h"
#include "CommandLine.h"
#include "InstallLog.h"
#include "MessageReport.h"
#include "ToolkitEnvironment.h"
#include "drives.h"
#include "hostfixtures.h"
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(RunMode)
Q_DECLARE_METATYPE(platform::System)

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void errors_data();
    void errors();
    void usageNamesEveryOption_data();
    void usageNamesEveryOption();
    void targetFolder_data();
    void targetFolder();
    void logLines();
    void logAppendsAndRefusesLinks();
    void report();
    void wizardFolderBox();
    void builtInPlatforms_data();
    void builtInPlatforms();
    void layoutScale_data();
    void layoutScale();
    void platformChoiceStaysOurs();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<RunMode>("mode");
    QTest::addColumn<QString>("dir");
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<bool>("icons");
    QTest::addColumn<bool>("launch");
    QTest::addColumn<QString>("log");
    QTest::addColumn<bool>("help");

    const QString none;
    QTest::newRow("nothing: the wizard launches") << QStringList{} << RunMode::Wizard << none << false << true << true << none << false;
    QTest::newRow("wizard --no-launch") << QStringList{"--no-launch"} << RunMode::Wizard << none << false << true << false << none << false;
    QTest::newRow("silent starts nothing") << QStringList{"--silent"} << RunMode::Silent << none << false << true << false << none << false;
    QTest::newRow("very silent starts nothing") << QStringList{"--very-silent"} << RunMode::VerySilent << none << false << true << false << none << false;
    QTest::newRow("silent --launch") << QStringList{"--launch", "--silent"} << RunMode::Silent << none << false << true << true << none << false;
    QTest::newRow("--dir=") << QStringList{"--dir=D:\\PROGRAMY\\TVO-DEMO\\"} << RunMode::Wizard << "D:\\PROGRAMY\\TVO-DEMO\\" << false << true << true << none << false;
    QTest::newRow("--dir value") << QStringList{"--dir", "/opt/tvo"} << RunMode::Wizard << "/opt/tvo" << false << true << true << none << false;
    QTest::newRow("value with '='") << QStringList{"--dir=C:\\A=B"} << RunMode::Wizard << "C:\\A=B" << false << true << true << none << false;
    QTest::newRow("last --dir wins") << QStringList{"--dir=C:\\A", "--dir=C:\\B"} << RunMode::Wizard << "C:\\B" << false << true << true << none << false;
    QTest::newRow("all of them") << QStringList{"--very-silent", "--overwrite", "--no-icons", "--log=/tmp/x.log", "--dir=C:\\X"}
                                 << RunMode::VerySilent << "C:\\X" << true << false << false << "/tmp/x.log" << false;
    QTest::newRow("--log value") << QStringList{"--log", "a b.log"} << RunMode::Wizard << none << false << true << true << "a b.log" << false;
    QTest::newRow("--help") << QStringList{"--help"} << RunMode::Wizard << none << false << true << true << none << true;
    QTest::newRow("--uninstall") << QStringList{"--uninstall"} << RunMode::Wizard << none << false << true << true << none << false;
    QTest::newRow("the uninstaller --yes") << QStringList{"--yes", "@uninstaller"} << RunMode::Wizard << none << false << true << true << none << false;
    QTest::newRow("--uninstall --yes") << QStringList{"--yes", "--uninstall"} << RunMode::Wizard << none << false << true << true << none << false;
    QTest::newRow("-h among others") << QStringList{"--silent", "-h"} << RunMode::Silent << none << false << true << false << none << true;
    // The forms deployment tools pass to Windows installers, in any letter case.
    QTest::newRow("/VERYSILENT /DIR= /LOG=") << QStringList{"/VERYSILENT", "/DIR=C:\\Program Files\\TVO", "/log=C:\\t.log"}
                                            << RunMode::VerySilent << "C:\\Program Files\\TVO" << false << true << false
                                            << "C:\\t.log" << false;
    QTest::newRow("/silent /noicons /norestart") << QStringList{"/silent", "/NoIcons", "/NORESTART"} << RunMode::Silent
                                                << none << false << false << false << none << false;
    QTest::newRow("/SUPPRESSMSGBOXES") << QStringList{"/SILENT", "/SUPPRESSMSGBOXES"} << RunMode::Silent << none << false
                                       << true << false << none << false;
    QTest::newRow("/?") << QStringList{"/?"} << RunMode::Wizard << none << false << true << true << none << true;
    QTest::newRow("/Help") << QStringList{"/Help"} << RunMode::Wizard << none << false << true << true << none << true;
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, args);
    const bool asUninstaller = args.removeAll("@uninstaller") > 0; // started under the uninstaller's name
    const ParsedCommandLine r = parseCommandLine(args, asUninstaller);
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QTEST(r.options.mode, "mode");
    QTEST(r.options.dir, "dir");
    QTEST(r.options.overwrite, "overwrite");
    QTEST(r.options.icons, "icons");
    QTEST(r.options.launch, "launch");
    QCOMPARE(r.options.suppressBoxes, args.contains("/SUPPRESSMSGBOXES"));
    QTEST(r.options.logFile, "log");
    QTEST(r.options.help, "help");
    QCOMPARE(r.options.uninstall, asUninstaller || args.contains("--uninstall"));
    QCOMPARE(r.options.yes, args.contains("--yes"));
}

void TestCommandLine::errors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("unknown option") << QStringList{"--quiet"} << "--quiet";
    QTest::newRow("unknown after good ones") << QStringList{"--silent", "--dir=C:\\X", "-x"} << "-x";
    QTest::newRow("Windows form unknown") << QStringList{"/QUIET"} << "/QUIET";
    QTest::newRow("Windows form with a value it does not take") << QStringList{"/SILENT=1"} << "/SILENT=1";
    QTest::newRow("/DIR= empty") << QStringList{"/DIR="} << "--dir";
    QTest::newRow("both silent modes, Windows forms") << QStringList{"/SILENT", "/VERYSILENT"} << "--very-silent";
    QTest::newRow("--uninstall with /SUPPRESSMSGBOXES") << QStringList{"--uninstall", "/SUPPRESSMSGBOXES"} << "--uninstall";
    QTest::newRow("option with a value it does not take") << QStringList{"--silent=1"} << "--silent=1";
    QTest::newRow("prefix of an option") << QStringList{"--dirx=C:\\X"} << "--dirx";
    QTest::newRow("--dir without a value") << QStringList{"--dir"} << "--dir";
    QTest::newRow("--dir= empty") << QStringList{"--dir="} << "--dir";
    QTest::newRow("--log without a value") << QStringList{"--silent", "--log"} << "--log";
    QTest::newRow("--log= empty") << QStringList{"--log="} << "--log";
    QTest::newRow("both silent modes") << QStringList{"--silent", "--very-silent"} << "--very-silent";
    QTest::newRow("--yes alone") << QStringList{"--yes"} << "--yes";
    QTest::newRow("--uninstall with an installation option") << QStringList{"--uninstall", "--very-silent"} << "--uninstall";
    QTest::newRow("the uninstaller with an installation option") << QStringList{"--silent", "@uninstaller"} << "--uninstall";
    QTest::newRow("--uninstall with --dir") << QStringList{"--dir=C:\\X", "--uninstall", "--yes"} << "--uninstall";
    QTest::newRow("launch and no-launch") << QStringList{"--launch", "--no-launch"} << "--no-launch";
}

void TestCommandLine::errors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, mentions);
    const bool asUninstaller = args.removeAll("@uninstaller") > 0;
    const ParsedCommandLine r = parseCommandLine(args, asUninstaller);
    QVERIFY(!r.error.isEmpty());
    QVERIFY2(r.error.contains(mentions), qPrintable(r.error));
}

// Each system's usage names every option and speaks of that system's
// folders, display and menus only.
void TestCommandLine::usageNamesEveryOption_data()
{
    QTest::addColumn<platform::System>("system");
    QTest::addColumn<QStringList>("mentions");
    QTest::addColumn<QStringList>("never");
    QTest::newRow("Linux") << platform::System::Linux
                           << QStringList{"/home/jan/TVO-DEMO", "bez ekranu graficznego", "menu programów",
                                          "brak ekranu graficznego"}
                           << QStringList{"menu Start"};
    QTest::newRow("Windows") << platform::System::Windows
                             << QStringList{"C:\\PROGRAMY\\TVO-DEMO\\", "menu Start", "za mała rozdzielczość ekranu"}
                             << QStringList{"/home", "ekranu graficznego", "DISPLAY", "menu programów"};
}

void TestCommandLine::usageNamesEveryOption()
{
    QFETCH(platform::System, system);
    QFETCH(QStringList, mentions);
    QFETCH(QStringList, never);
    const QString usage = usageText("setup", system);
    for (const QString &m : mentions)
        QVERIFY2(usage.contains(m), qPrintable(m));
    for (const QString &n : never)
        QVERIFY2(!usage.contains(n), qPrintable(n));
    QVERIFY(usage.startsWith("Użycie: setup "));
    for (const char *o : {"--dir=", "--silent", "--very-silent", "--overwrite", "--no-icons", "--no-launch", "--launch",
                          "--log=", "--help", "--uninstall", "--yes", "--suppress-msgboxes", "/SILENT", "/VERYSILENT",
                          "/SUPPRESSMSGBOXES", "/DIR=", "/LOG=", "/NOICONS", "/NORESTART", "/?", "/HELP"})
        QVERIFY2(usage.contains(QLatin1String(o)), o);
    QVERIFY(usage.endsWith('\n'));
}

void TestCommandLine::targetFolder_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("expected"); // "~" stands for the home folder's drive form
    QTest::newRow("drive form stays") << "C:\\PROGRAMY\\TVO-DEMO\\" << "C:\\PROGRAMY\\TVO-DEMO\\";
    QTest::newRow("lower-case drive stays") << "d:\\x" << "d:\\x";
    QTest::newRow("relative drive form stays") << "TVO\\DEMO" << "TVO\\DEMO";
    QTest::newRow("drive form with slashes") << "C:/x/y" << "C:\\x\\y";
    QTest::newRow("separators mixed") << "D:\\A/b/" << "D:\\A\\b\\";
    QTest::newRow("empty") << "" << "";
#ifdef Q_OS_WIN
    // Windows: every folder is the system's own path, shown with "\".
    QTest::newRow("rooted on the current drive") << "/opt/tvo" << "\\opt\\tvo";
    QTest::newRow("relative with slashes") << "sub/TVO" << "sub\\TVO";
    QTest::newRow("share") << "//srv/x" << "\\\\srv\\x";
#else
    // Linux: a host path goes through the drive table (C: the home folder,
    // Z: the root, U: mapped here).
    QTest::newRow("host path under home") << "@home/Programy/TVO-DEMO" << "C:\\Programy\\TVO-DEMO";
    QTest::newRow("host path with slash at the end") << "@home/TVO-DEMO/" << "C:\\TVO-DEMO";
    QTest::newRow("host path outside home") << "/opt/tvo" << "Z:\\opt\\tvo";
    QTest::newRow("host path climbing") << "/opt/../srv/tvo" << "Z:\\srv\\tvo";
    QTest::newRow("relative host path") << "@cwd/sub/TVO" << "@cwd\\sub\\TVO";
    QTest::newRow("mapped drive") << "/mnt/usb-tvo/x" << "U:\\x";
#endif
}

void TestCommandLine::targetFolder()
{
    QFETCH(QString, given);
    QFETCH(QString, expected);
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    platform::resetDrives();
    platform::setDriveRoot('U', "/mnt/usb-tvo");
    const QString cwdDrive = platform::toDrivePath(QDir::currentPath());
    if (given.startsWith("@home"))
        given.replace("@home", home.path());
    if (given.startsWith("@cwd/"))
        given = given.mid(5); // relative to the current folder
    expected.replace("@cwd", cwdDrive);
    QCOMPARE(targetFolderArgument(given), expected);
    platform::resetDrives();
}

void TestCommandLine::logLines()
{
    QCOMPARE(InstallLog::formatLine("Extracting A\\B.DBF", "T"), QString("T Extracting A\\B.DBF\n"));
    // Line breaks of message texts continue on indented lines, so every
    // line of the log starts with a time stamp or blanks.
    QCOMPARE(InstallLog::formatLine("Błąd: Za mało\rInstalacja\r\nkoniec", "12:00"),
             QString("12:00 Błąd: Za mało\n      Instalacja\n      koniec\n"));
}

void TestCommandLine::logAppendsAndRefusesLinks()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("setup.log");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("earlier run\n");
    }
    QString error;
    QVERIFY2(InstallLog::open(path, &error), qPrintable(error));
    InstallLog::write("zażółć");
    InstallLog::close();
    InstallLog::write("after close: nowhere");
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    QVERIFY(text.startsWith("earlier run\n"));
    QVERIFY(text.endsWith(" zażółć\n"));
    QCOMPARE(text.count('\n'), 2);

    QVERIFY(!InstallLog::open(dir.path(), &error)); // a folder
    QVERIFY(!error.isEmpty());
#ifdef Q_OS_WIN
    const QString device = QStringLiteral("NUL");
#else
    const QString device = QStringLiteral("/dev/null");
#endif
    QVERIFY(!InstallLog::open(device, &error));
    QCOMPARE(error, "to nie jest zwykły plik");
    QVERIFY(!InstallLog::open(dir.filePath("no/such/folder.log"), &error));
    QVERIFY(!InstallLog::isOpen());

    // A link planted where the log goes is not followed.
    const QString victim = dir.filePath("victim");
    QVERIFY(QFile(victim).open(QIODevice::WriteOnly));
    if (!makeSymbolicLink(victim, dir.filePath("planted.log"), false))
        QSKIP(kNoLinksHere);
    QVERIFY(!InstallLog::open(dir.filePath("planted.log"), &error));
    QCOMPARE(error, "to dowiązanie symboliczne");
    QCOMPARE(QFileInfo(victim).size(), 0);
    QVERIFY(!InstallLog::isOpen());
}

void TestCommandLine::report()
{
    QCOMPARE(MessageReport::reportText("Błąd", "Za mało miejsca na wybranym dysku !\rInstalacja wymaga minimum 55MB."),
             QString("Błąd: Za mało miejsca na wybranym dysku !\nInstalacja wymaga minimum 55MB.\n"));
}

// --dir is the folder box's initial text, in drive form.
void TestCommandLine::wizardFolderBox()
{
    App::initModules();
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    platform::resetDrives();
    {
        TForm1 form;
        QCOMPARE(form.ui->edKatalog->text(), QString("C:\\TVO-DEMO\\"));
    }
    InstallOptions o;
    o.dir = home.path() + "/Programy/TVO";
    setInstallOptions(o);
    {
        TForm1 form;
#ifdef Q_OS_WIN
        QCOMPARE(form.ui->edKatalog->text(), QDir::toNativeSeparators(o.dir)); // a Windows path already
#else
        QCOMPARE(form.ui->edKatalog->text(), QString("C:\\Programy\\TVO"));
#endif
    }
    setInstallOptions({});
}


void TestCommandLine::builtInPlatforms_data()
{
    QTest::addColumn<platform::System>("system");
    QTest::addColumn<QByteArray>("requested");
    QTest::addColumn<QByteArray>("chosen");
    const auto linux_ = platform::System::Linux;
    const auto windows = platform::System::Windows;
    QTest::newRow("xcb") << linux_ << QByteArray("xcb") << QByteArray("xcb");
    QTest::newRow("wayland alone") << linux_ << QByteArray("wayland") << QByteArray("xcb");
    QTest::newRow("wayland, then xcb") << linux_ << QByteArray("wayland;xcb") << QByteArray("xcb");
    QTest::newRow("options kept") << linux_ << QByteArray("wayland-egl; xcb:nograb") << QByteArray("xcb:nograb");
    QTest::newRow("offscreen") << linux_ << QByteArray("offscreen") << QByteArray("offscreen");
    QTest::newRow("unknown ones") << linux_ << QByteArray("eglfs;vnc") << QByteArray("xcb");
    QTest::newRow("Linux: windows is not built in") << linux_ << QByteArray("windows") << QByteArray("xcb");
    // Windows: its own platform, always with the FreeType font engine.
    QTest::newRow("Windows: none asked") << windows << QByteArray() << QByteArray("windows:fontengine=freetype");
    QTest::newRow("Windows: windows") << windows << QByteArray("windows") << QByteArray("windows:fontengine=freetype");
    QTest::newRow("Windows: xcb is not built in") << windows << QByteArray("xcb") << QByteArray("windows:fontengine=freetype");
    QTest::newRow("Windows: options kept, engine ours")
        << windows << QByteArray("direct2d;windows:darkmode=2, fontengine=directwrite,nomousefromtouch")
        << QByteArray("windows:darkmode=2,nomousefromtouch,fontengine=freetype");
    QTest::newRow("Windows: offscreen") << windows << QByteArray("offscreen") << QByteArray("offscreen");
}

void TestCommandLine::builtInPlatforms()
{
    QFETCH(platform::System, system);
    QFETCH(QByteArray, requested);
    QFETCH(QByteArray, chosen);
    QCOMPARE(ToolkitEnvironment::builtInPlatforms(requested, system), chosen);
}

// The wizard (780 x 473 at 96 DPI) on common screens; frames as Windows 10
// draws a captioned window at that scale.
void TestCommandLine::layoutScale_data()
{
    QTest::addColumn<double>("screen");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QSize>("work");
    QTest::addColumn<double>("scale");
    QTest::newRow("96 DPI") << 1.0 << QSize(16, 39) << QSize(1366, 728) << 1.0;
    QTest::newRow("1920 x 1080 at 150 %: fits") << 1.5 << QSize(22, 53) << QSize(1920, 1020) << 1.5;
    QTest::newRow("1366 x 768 at 150 %, task bar: less")
        << 1.5 << QSize(22, 53) << QSize(1366, 708) << 1.375; // 655 / 473 = 1.38, down to sixteenths
    QTest::newRow("1366 x 768 at 125 %, task bar: fits") << 1.25 << QSize(20, 46) << QSize(1366, 718) << 1.25;
    QTest::newRow("1920 x 1080 at 200 %: less") << 2.0 << QSize(28, 67) << QSize(1920, 1000) << 1.9375;
    QTest::newRow("1024 x 768 at 150 %: the width decides") << 1.5 << QSize(22, 53) << QSize(1024, 708) << 1.25;
    QTest::newRow("800 x 600 at 150 %: never below 1") << 1.5 << QSize(22, 53) << QSize(800, 540) << 1.0;
    QTest::newRow("exactly fitting") << 1.5 << QSize(0, 0) << QSize(1170, 710) << 1.5;
}

void TestCommandLine::layoutScale()
{
    QFETCH(double, screen);
    QFETCH(QSize, frame);
    QFETCH(QSize, work);
    QFETCH(double, scale);
    QCOMPARE(ToolkitEnvironment::layoutScale(screen, TForm1::designedSize(), frame, work), scale);
    // Whatever is chosen fits, unless it is the layout's own size.
    const double s = ToolkitEnvironment::layoutScale(screen, TForm1::designedSize(), frame, work);
    if (s > 1.0)
        QVERIFY(780 * s + frame.width() <= work.width() && 473 * s + frame.height() <= work.height());
}

// The platform the silent modes pick for themselves is not what the
// installed program inherits: the user's value (or none) comes back.
void TestCommandLine::platformChoiceStaysOurs()
{
    for (const QByteArray &user : {QByteArray(), QByteArray("wayland;xcb")}) {
        if (user.isNull())
            qunsetenv("QT_QPA_PLATFORM");
        else
            qputenv("QT_QPA_PLATFORM", user);
        ToolkitEnvironment::prepare();
        qputenv("QT_QPA_PLATFORM", "offscreen");
        ToolkitEnvironment::restore();
        QCOMPARE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"), !user.isNull());
        QCOMPARE(qgetenv("QT_QPA_PLATFORM"), user.isNull() ? QByteArray() : user);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
