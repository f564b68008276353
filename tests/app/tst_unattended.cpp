// The real installers run from the command line without a display: a
// very-silent installation into a fresh home folder, the folder checks with
// their messages on standard error, the exit codes, --help and usage errors.
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString kPlain = QStringLiteral(TVO_SETUP);
const QString kDemo = QStringLiteral(TVO_BUILD_DIR "/demo/setup");
const QString kDemoCopy = QStringLiteral(TVO_BUILD_DIR "/demo-copy/setup");
const QString kSample = QStringLiteral(TVO_BUILD_DIR "/demo-copy/TVO-DEMO");
const QString kEntry = QStringLiteral("Desktop/Tavro 2010 DEMO.desktop");

struct Run {
    int code = -1;
    QString out, err;
};

// Every file and folder under root: relative name -> content hash ("/" for folders).
QMap<QString, QByteArray> treeOf(const QString &root, bool withHidden = true)
{
    QMap<QString, QByteArray> tree;
    QDir::Filters filters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System;
    if (withHidden)
        filters |= QDir::Hidden;
    QDirIterator it(root, filters, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            tree.insert(rel, "/");
            continue;
        }
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        tree.insert(rel, QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5));
    }
    return tree;
}

// A socket file: listed like a file, but nobody can open it for reading.
bool bindSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray name = path.toUtf8();
    if (fd < 0 || size_t(name.size()) >= sizeof addr.sun_path)
        return false;
    memcpy(addr.sun_path, name.constData(), size_t(name.size()));
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    ::close(fd); // the file stays
    return ok;
}

} // namespace

class TestUnattended : public QObject {
    Q_OBJECT
private slots:
    void init();
    void verySilentInstalls_data();
    void verySilentInstalls();
    void launchOnlyWhenAsked();
    void noIcons();
    void runFailures_data();
    void runFailures();
    void signalCancels_data();
    void signalCancels();
    void existingFolder();
    void refusedFolder_data();
    void refusedFolder();
    void tooLittleSpace();
    void hostPathTarget();
    void homeNotMadeYet();
    void help();
    void usageErrors_data();
    void usageErrors();
    void noDisplay_data();
    void noDisplay();

private:
    Run run(const QString &exe, const QStringList &args, const QStringList &extraEnv = {});
    QString home() const { return m_home->path(); }
    std::unique_ptr<QTemporaryDir> m_home;
};

void TestUnattended::init() { m_home = std::make_unique<QTemporaryDir>(); }

// Runs an installer as a user without a display would: no DISPLAY, no
// toolkit platform chosen, a home folder of its own.
Run TestUnattended::run(const QString &exe, const QStringList &args, const QStringList &extraEnv)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR",
                             "XDG_DATA_HOME"})
        env.remove(QLatin1String(name));
    env.insert("HOME", home());
    env.insert("TVODEMO_REPORT", home() + "/report.txt");
    for (const QString &kv : extraEnv)
        env.insert(kv.section('=', 0, 0), kv.section('=', 1));
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(home());
    p.start(exe, args);
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void TestUnattended::verySilentInstalls_data()
{
    QTest::addColumn<QString>("installer");
    QTest::addColumn<QString>("stepWord"); // how the log names an installed entry
    QTest::newRow("archive") << kDemo << "Extracting";
    QTest::newRow("folder copy") << kDemoCopy << "Copied|Created the folder";
}

void TestUnattended::verySilentInstalls()
{
    QFETCH(QString, installer);
    QFETCH(QString, stepWord);
    const QString log = home() + "/setup.log";
    const Run r = run(installer, {"--very-silent", "--log=" + log});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);

    // The wizard's tree: the sample folder, without the names the copy
    // leaves out (hidden ones) where it copies.
    const QString target = home() + "/TVO-DEMO";
    const bool copy = installer == kDemoCopy;
    const auto expected = treeOf(kSample, !copy);
    QVERIFY(expected.size() > 100);
    auto installed = treeOf(target);
    // Beside the program: its uninstaller and the list of what was installed.
    QVERIFY(installed.remove("ODINSTALUJ.EXE") && installed.remove("ODINSTALUJ.LST"));
    QCOMPARE(installed, expected);

    QFile entry(home() + "/" + kEntry);
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QString entryText = QString::fromUtf8(entry.readAll());
    QVERIFY(entryText.contains("\nName=Tavro 2010 DEMO\n"));
    QVERIFY(entryText.contains("\nPath=" + target + "\n"));

    QFile logFile(log);
    QVERIFY(logFile.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(logFile.readAll());
    const QRegularExpression step("^\\S+ \\S+ (?:" + stepWord + ") (.*)$", QRegularExpression::MultilineOption);
    QSet<QString> logged;
    for (auto it = step.globalMatch(text); it.hasNext();)
        logged.insert(it.next().captured(1).replace('\\', '/'));
    QCOMPARE(logged, QSet<QString>(expected.keyBegin(), expected.keyEnd()));
    QVERIFY(text.contains("Target folder accepted: C:\\TVO-DEMO\\ (" + target + ")"));
    QVERIFY(text.contains("Written the desktop entry " + home() + "/" + kEntry));
    if (!copy) {
        QVERIFY(text.contains("Removed the temporary file C:\\TVO-DEMO\\TVO-DEMO.RAR"));
        QVERIFY(text.contains("Removed the temporary file C:\\TVO-DEMO\\TVOUNRAR.DLL"));
    }
    QVERIFY(text.contains("not started (--no-launch)") || !text.contains("Starting "));
    QVERIFY(text.trimmed().endsWith("Exit code 0"));
    QVERIFY2(!text.contains("font directory"), qPrintable(text.left(2000))); // the build machine's folder

    // Nothing was started: the sample program writes its report at once.
    QTest::qWait(500);
    QVERIFY(!QFile::exists(home() + "/report.txt"));
}

void TestUnattended::launchOnlyWhenAsked()
{
    const Run r = run(kDemo, {"--very-silent", "--launch"});
    QCOMPARE(r.code, 0);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(home() + "/report.txt").size() > 0, 10000);
    QFile report(home() + "/report.txt");
    QVERIFY(report.open(QIODevice::ReadOnly));
    QVERIFY(report.readAll().contains("katCD=" TVO_BUILD_DIR "/demo"));
}

void TestUnattended::noIcons()
{
    const Run r = run(kDemo, {"--very-silent", "--no-icons"});
    QCOMPARE(r.code, 0);
    QVERIFY(QFile::exists(home() + "/TVO-DEMO/TVODEMO.EXE"));
    QVERIFY(!QFile::exists(home() + "/" + kEntry));
    QVERIFY(!QFile::exists(home() + "/.local/share/applications/pl.tavro.Tavro2010Demo.desktop"));
    QVERIFY(!QFile::exists(home() + "/.local/share/icons"));
}

void TestUnattended::runFailures_data()
{
    QTest::addColumn<QString>("medium"); // what lies beside the installer
    QTest::addColumn<QString>("message");
    QTest::newRow("no folder beside a plain installer") << "plain" << "Błąd: Nie znaleziono katalogu:\n@medium\\TVO-DEMO\\\n";
    QTest::newRow("damaged payload") << "damaged"
                                     << "Instalacja TAVRO DEMO: Plik instalatora jest niekompletny:\n@medium\\setup\n"
                                        "Prawdopodobnie przerwano jego pobieranie.\nPobierz instalator ponownie.\n";
    QTest::newRow("a file that cannot be copied") << "socket"
                                                   << "Błąd przy kopiowaniu pliku !: Nie można skopiować pliku GNIAZDO do:\n"
                                                      "C:\\TVO-DEMO\\GNIAZDO\n";
}

// Errors during the run: the message on standard error, the failure code,
// and no question left waiting for nobody.
void TestUnattended::runFailures()
{
    QFETCH(QString, medium);
    QFETCH(QString, message);
    const QString dir = home() + "/medium";
    QVERIFY(QDir().mkpath(dir));
    const QString setup = dir + "/setup";
    if (medium == "damaged") {
        QFile in(kDemo);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QFile out(setup);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(in.read(in.size() - 100)); // the end of a download missing
        out.close();
        QVERIFY(out.setPermissions(out.permissions() | QFile::ExeOwner));
    } else {
        QVERIFY(QFile::copy(kDemoCopy, setup));
    }
    if (medium == "socket") {
        QVERIFY(QDir().mkpath(dir + "/TVO-DEMO"));
        QVERIFY(bindSocket(dir + "/TVO-DEMO/GNIAZDO"));
    }
    message.replace("@medium", "C:\\medium"); // the home folder is drive C:
    const Run r = run(setup, {"--very-silent"});
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.startsWith(message), qPrintable(r.err));
    QCOMPARE(r.err.count(QRegularExpression("^[^ ].*: ", QRegularExpression::MultilineOption)), 1); // one message
}

void TestUnattended::signalCancels_data()
{
    QTest::addColumn<int>("signo");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

// A signal during the run cancels it at the next step. The medium holds a
// named pipe that the copy waits on, so the signal arrives mid-run; the pipe
// is opened right after the signal.
void TestUnattended::signalCancels()
{
    QFETCH(int, signo);
    const QString medium = home() + "/medium";
    QVERIFY(QDir().mkpath(medium + "/TVO-DEMO"));
    QVERIFY(QFile::copy(kPlain, medium + "/setup"));
    QVERIFY(QFile::copy(kSample + "/TVODEMO.EXE", medium + "/TVO-DEMO/TVODEMO.EXE"));
    const QString pipe = medium + "/TVO-DEMO/A-CZEKAJ.DAT";
    QCOMPARE(::mkfifo(pipe.toUtf8().constData(), 0644), 0);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.insert("HOME", home());
    QProcess p;
    p.setProcessEnvironment(env);
    // A test run started in the background inherits SIGINT ignored, and the
    // installer keeps an inherited "ignore".
    p.setChildProcessModifier([] {
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            ::signal(s, SIG_DFL);
    });
    p.start(medium + "/setup", {"--very-silent", "--log=" + home() + "/setup.log"});
    QVERIFY(p.waitForStarted());
    const auto logText = [this] {
        QFile f(home() + "/setup.log");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains("Copying the folder"), 20000);
    ::kill(pid_t(p.processId()), signo);
    // Once the copy waits on the pipe (or the run has already stopped), the
    // pipe is given a writer; a run that stopped before it never opens it.
    for (int i = 0; i < 200 && p.state() == QProcess::Running; ++i) {
        const int fd = ::open(pipe.toUtf8().constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            QCOMPARE(::write(fd, "x", 1), ssize_t(1));
            ::close(fd);
            break;
        }
        p.waitForFinished(50);
    }
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 4);
    QCOMPARE(QString::fromUtf8(p.readAllStandardError()), QString());
    QVERIFY(!QFile::exists(home() + "/" + kEntry));
    const QByteArray text = logText();
    QVERIFY(text.contains("Installation cancelled"));
    QVERIFY(text.trimmed().endsWith("Exit code 4"));
}

void TestUnattended::existingFolder()
{
    const QString target = home() + "/TVO-DEMO";
    QVERIFY(QDir().mkpath(target + "/Dane"));
    QFile keep(target + "/Dane/moje.txt");
    QVERIFY(keep.open(QIODevice::WriteOnly));
    keep.write("dane użytkownika");
    keep.close();
    const auto before = treeOf(home());

    const Run refused = run(kDemo, {"--very-silent"});
    QCOMPARE(refused.code, 3);
    QVERIFY2(refused.err.startsWith("Błąd: Podany katalog już istnieje !\n"), qPrintable(refused.err));
    QVERIFY(refused.err.contains("--overwrite"));
    QCOMPARE(treeOf(home()), before);

    const Run overwritten = run(kDemo, {"--very-silent", "--overwrite"});
    QCOMPARE(overwritten.err, QString());
    QCOMPARE(overwritten.code, 0);
    QVERIFY(QFile::exists(target + "/TVODEMO.EXE"));
    QVERIFY(QFile::exists(target + "/Dane/moje.txt"));
    QVERIFY(QFile::exists(home() + "/" + kEntry));
}

void TestUnattended::refusedFolder_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("message");
    QTest::newRow("drive root") << "C:\\" << "Błąd: Podaj katalog docelowy !\n";
    QTest::newRow("bare drive") << "c:" << "Błąd: Podaj katalog docelowy !\n";
    QTest::newRow("a file in the way") << "C:\\plik\\TVO-DEMO" << "Błąd: Nieprawidłowy katalog !\n";
    QTest::newRow("name too long") << "C:\\" + QString(300, 'X') << "Błąd: Nieprawidłowy katalog !\n";
    QTest::newRow("unmapped drive") << "Q:\\TVO-DEMO\\"
                                    << "Błąd: Za mało miejsca na wybranym dysku !\nInstalacja wymaga minimum 55MB.\n";
}

void TestUnattended::refusedFolder()
{
    QFETCH(QString, dir);
    QFETCH(QString, message);
    QVERIFY(QFile(home() + "/plik").open(QIODevice::WriteOnly));
    const auto before = treeOf(home());
    const Run r = run(kDemo, {"--very-silent", "--dir=" + dir});
    QCOMPARE(r.err, message);
    QCOMPARE(r.code, 3);
    QCOMPARE(treeOf(home()), before);
}

void TestUnattended::tooLittleSpace()
{
    if (::geteuid() != 0)
        QSKIP("mounting a small tmpfs needs root");
    const QString small = home() + "/small";
    QVERIFY(QDir().mkpath(small));
    QCOMPARE(QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=20m", "tmpfs", small}), 0);
    const Run r = run(kDemo, {"--very-silent", "--dir=T:\\TVO-DEMO\\"}, {"TVO_DRIVE_T=" + small});
    QProcess::execute("umount", {small});
    QCOMPARE(r.err, QString("Błąd: Za mało miejsca na wybranym dysku !\nInstalacja wymaga minimum 55MB.\n"));
    QCOMPARE(r.code, 3);
}

void TestUnattended::hostPathTarget()
{
    const QString target = home() + "/programy/tvo";
    const Run r = run(kDemoCopy, {"--very-silent", "--dir=" + target + "/"});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QVERIFY(QFile::exists(target + "/TVODEMO.EXE"));
}

// A home folder not made yet (an account made without one): the free space
// is that of the file system it will be made on, and it is made.
void TestUnattended::homeNotMadeYet()
{
    const QString account = home() + "/konto/dom";
    const Run r = run(kDemo, {"--very-silent", "--no-icons"}, {"HOME=" + account});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QVERIFY(QFile::exists(account + "/TVO-DEMO/TVODEMO.EXE"));
}

void TestUnattended::help()
{
    const Run r = run(kPlain, {"--help"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, QString());
    QVERIFY(r.out.startsWith("Użycie: tvo-setup [OPCJE]\n"));
    QVERIFY(r.out.contains("--very-silent"));
}

void TestUnattended::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown option") << QStringList{"--unknown"};
    QTest::newRow("argument") << QStringList{"C:\\TVO"};
    QTest::newRow("conflict") << QStringList{"--silent", "--very-silent"};
    QTest::newRow("log not writable") << QStringList{"--very-silent", "--log=/nonexistent/folder/x.log"};
}

void TestUnattended::usageErrors()
{
    QFETCH(QStringList, args);
    const Run r = run(kDemo, args);
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.startsWith("setup: "));
    QCOMPARE(r.out, QString());
    QVERIFY(!QFile::exists(home() + "/TVO-DEMO"));
}

void TestUnattended::noDisplay_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("env");
    QTest::newRow("no DISPLAY") << QStringList{} << QStringList{};
    QTest::newRow("--silent, no DISPLAY") << QStringList{"--silent"} << QStringList{};
    QTest::newRow("DISPLAY of no server") << QStringList{} << QStringList{"DISPLAY=:93517"};
    QTest::newRow("xcb asked for") << QStringList{} << QStringList{"QT_QPA_PLATFORM=xcb"};
    QTest::newRow("stale Wayland socket name") << QStringList{} << QStringList{"WAYLAND_DISPLAY=wayland-93517", "XDG_RUNTIME_DIR=/tmp"};
}

void TestUnattended::noDisplay()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, env);
    const Run r = run(kDemo, args, env);
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY2(r.err.startsWith("setup: nie znaleziono ekranu graficznego"), qPrintable(r.err));
    QVERIFY(r.err.contains("--very-silent"));
    QVERIFY(!QFile::exists(home() + "/TVO-DEMO"));
}

QTEST_GUILESS_MAIN(TestUnattended)
#include "tst_unattended.moc"
