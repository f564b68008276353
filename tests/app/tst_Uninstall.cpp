// Removing an installation by its list, and what the installation adds to
// the desktop: the icon at each size and the menu entry (Linux), the
// Start-menu shortcut (Windows).
#include "AppCore.h"
#include "DesktopIntegration.h"
#include "filefixtures.h"
#include "fileio.h"
#include "hostfixtures.h"
#include "Manifest.h"
#include "Uninstall.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

QStringList tree(const QString &root)
{
    QStringList out;
    QDir dir(root);
    for (const QFileInfo &fi : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                                 QDir::Name)) {
        out << fi.fileName() + (fi.isDir() && !fi.isSymLink() ? "/" : "");
        if (fi.isDir() && !fi.isSymLink())
            for (const QString &sub : tree(fi.filePath()))
                out << fi.fileName() + "/" + sub;
    }
    out.sort();
    return out;
}

#ifndef Q_OS_WIN
QString validate(const QString &file)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable("desktop-file-validate"), {file});
    if (!p.waitForFinished(10000))
        return "desktop-file-validate did not run";
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
    return p.exitCode() == 0 && out.isEmpty() ? QString() : out + " (exit " + QString::number(p.exitCode()) + ")";
}
#endif

} // namespace

class TestUninstall : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void initTestCase() { App::initModules(); }

    // An installation of a few files; then the user's doing; then removal.
    void removal_data()
    {
        QTest::addColumn<QString>("change"); // what happens between installation and removal
        QTest::addColumn<QStringList>("left"); // what is left in the parent folder afterwards
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<int>("removed");
        QTest::addColumn<QStringList>("failed"); // the paths that could not go
        QTest::newRow("untouched") << "" << QStringList{"outside/", "outside/x.txt"} << QStringList{} << QStringList{}
                                   << 2 << QStringList{};
        QTest::newRow("file changed")
            << "change" << QStringList{"outside/", "outside/x.txt", "T/", "T/BAZA/", "T/BAZA/ceny.dbf"}
            << QStringList{"T/BAZA/ceny.dbf"} << QStringList{} << 1 << QStringList{};
        QTest::newRow("file added")
            << "add" << QStringList{"outside/", "outside/x.txt", "T/", "T/BAZA/", "T/BAZA/moje.txt"}
            << QStringList{} << QStringList{"T/BAZA/moje.txt"} << 2 << QStringList{};
        QTest::newRow("already removed") << "remove" << QStringList{"outside/", "outside/x.txt"} << QStringList{}
                                         << QStringList{} << 1 << QStringList{};
        // A link put where an installed folder was: nothing behind it is touched.
        QTest::newRow("folder replaced by a link")
            << "link" << QStringList{"outside/", "outside/ceny.dbf", "outside/x.txt", "T/", "T/BAZA"}
            << QStringList{"T/BAZA/ceny.dbf", "T/BAZA"} << QStringList{} << 1 << QStringList{};
#ifdef Q_OS_WIN
        // A program of the installation still running holds its file: the
        // rest goes, the uninstaller and its list stay for another try.
        QTest::newRow("file in use")
            << "hold" << QStringList{"outside/", "outside/x.txt", "T/", "T/ODINSTALUJ.EXE", "T/ODINSTALUJ.LST", "T/TVODEMO.EXE"}
            << QStringList{} << QStringList{} << 1 << QStringList{"T/TVODEMO.EXE"};
#endif
    }
    void removal()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, left);
        QFETCH(QStringList, kept);
        QFETCH(QStringList, added);
        QFETCH(int, removed);
        QFETCH(QStringList, failed);
        left.sort();
        const QString base = tmp.filePath(QString("rm %1").arg(QTest::currentDataTag()));
        const QString t = base + "/T";
        writeFile(t + "/BAZA/ceny.dbf", "12345");
        writeFile(t + "/TVODEMO.EXE", "#!/bin/sh\n");
        writeFile(t + "/ODINSTALUJ.EXE", "self");
        writeFile(t + "/ODINSTALUJ.LST", "list");
        writeFile(base + "/outside/x.txt", "not ours");
        InstallRecord r;
        r.setTarget(t);
        r.addCreatedFolders({t});
        r.addBelowTarget("BAZA/ceny.dbf");
        r.addBelowTarget("TVODEMO.EXE");
        const Manifest m = r.stamped();
        if (change == "change") {
            writeFile(t + "/BAZA/ceny.dbf", "67890!");
        } else if (change == "add") {
            writeFile(t + "/BAZA/moje.txt", "mine");
        } else if (change == "remove") {
            QFile::remove(t + "/TVODEMO.EXE");
        } else if (change == "link") {
            // Same name, same size, same time: only the link gives it away.
            QVERIFY(QFile::rename(t + "/BAZA/ceny.dbf", base + "/outside/ceny.dbf"));
            QVERIFY(QDir(t + "/BAZA").removeRecursively());
            if (!makeSymbolicLink(base + "/outside", t + "/BAZA", true))
                QSKIP(kNoLinksHere);
        }
        QFile held(t + "/TVODEMO.EXE"); // open without leave to delete it
        if (change == "hold")
            QVERIFY(held.open(QIODevice::ReadOnly));
        const UninstallReport report = removeInstallation(t, m);
        held.close();
        QCOMPARE(tree(base), left);
        const auto full = [&base](QStringList l) {
            for (QString &s : l)
                s = base + "/" + s;
            return l;
        };
        QCOMPARE(report.failed.size(), failed.size());
        for (qsizetype i = 0; i < failed.size(); ++i)
            QVERIFY2(report.failed[i].startsWith(base + "/" + failed[i] + ": "), qPrintable(report.failed[i]));
        QCOMPARE(report.kept, full(kept));
        QCOMPARE(report.added, full(added));
        QCOMPARE(report.removed, removed);
    }

    // A name that is not UTF-8 is listed and removed byte for byte.
    void nameNotUtf8()
    {
#ifdef Q_OS_WIN
        QSKIP("Linux's names are bytes; Windows's are UTF-16 text");
#else
        const QString t = tmp.filePath("raw");
        QVERIFY(QDir().mkpath(t));
        const QByteArray name = "Cennik \xb3\xf3" "d\xbf.txt"; // a Windows-1250 name
        const int fd = ::open((QFile::encodeName(t) + '/' + name).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        InstallRecord r;
        r.setTarget(t);
        r.addCreatedFolders({t});
        r.addBelowTarget(platform::hostNameFromBytes(name));
        const Manifest m = parseManifest(manifestText(r.stamped()), t, "x");
        QCOMPARE(m.size(), 2);
        QCOMPARE(m.first().stamp.kind, platform::FileStamp::File);
        const UninstallReport report = removeInstallation(t, m);
        QCOMPARE(report.removed, 1);
        QVERIFY(!QFileInfo::exists(t));
#endif
    }

    void reportLists()
    {
        // The paths in the system's own form.
#ifdef Q_OS_WIN
        const QString t = "C:/t", shown = "C:\\t\\";
#else
        const QString t = "/t", shown = "/t/";
#endif
        UninstallReport r;
        r.kept = QStringList{t + "/a", t + "/b", t + "/c"};
        r.failed = QStringList{t + "/x: Permission denied"};
        QCOMPARE(reportText(r, 2), "Nie można usunąć:\n  " + shown + "x: Permission denied\n"
                                   "Pozostawiono pliki zmienione po instalacji:\n  " + shown + "a\n  " + shown
                                       + "b\n  ... i 1 innych\n");
        QCOMPARE(reportText({}), QString());
    }

    void icon_data()
    {
        QTest::addColumn<int>("size");
        for (const int s : Integration::iconSizes)
            QTest::addRow("%d", s) << s;
    }
    void icon()
    {
        QFETCH(int, size);
        const QImage img = Integration::drawIcon(size);
        QCOMPARE(img.size(), QSize(size, size));
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0);                  // transparent ground
        QCOMPARE(qAlpha(img.pixel(size - 1, size - 1)), 0);
        const auto at = [&](double x, double y) { return QColor(img.pixel(int(x * size / 44), int((y + 2.5) * size / 44))); };
        QCOMPARE(at(7, 10), QColor(0xBB, 0x16, 0x00));          // the red band, left of the name
        QCOMPARE(at(12, 30), QColor(0x1B, 0x3F, 0x8C));         // the dark mountain
        QCOMPARE(at(38, 26), QColor(0xF4, 0xF1, 0xE8));         // paper
        int white = 0;                                          // the name in the band
        for (int x = 8 * size / 44; x < 36 * size / 44; ++x)
            white += QColor(img.pixel(x, int(10.5 * size / 44 + 2.5 * size / 44))).lightness() > 230;
        QVERIFY2(white > size / 20, qPrintable(QString::number(white)));
    }

    // Windows: the menu entry is one shortcut in the user's Programs folder
    // (the shortcut itself: the platform layer's tests).
    void startMenuShortcut()
    {
#ifndef Q_OS_WIN
        QSKIP("the Start menu is Windows's; the freedesktop menu entry has its own test");
#else
        const QString t = tmp.filePath("Mój program/TVO DEMO");
        QString error;
        const QString programs = platform::programsMenuFolder(&error);
        QVERIFY2(!programs.isEmpty(), qPrintable(error));
        const QString shortcut = programs + "/Tavro 2010 DEMO.lnk";
        QFile::remove(shortcut);
        QStringList written, folders;
        QVERIFY2(Integration::writeMenuEntry({"Tavro 2010 DEMO", {t + "/TVODEMO.EXE", "katCD=D:\\"}, t}, t, written,
                                             folders, &error),
                 qPrintable(error));
        // Qt takes a shortcut for a link: one to a program not there yet is
        // listed among the system entries.
        const QStringList there = QDir(programs).entryList(QDir::Files | QDir::System);
        QFile::remove(shortcut); // the test leaves the user's menu as it was
        QCOMPARE(written, QStringList{shortcut});
        QCOMPARE(there, QStringList{"Tavro 2010 DEMO.lnk"});
        QVERIFY(Integration::isIntegrationFileName("TAVRO 2010 demo.LNK")); // the uninstaller takes it off again
        QVERIFY(!Integration::isIntegrationFileName("Tavro 2010 DEMO.desktop"));
#endif
    }

    void iconsAndMenuEntry()
    {
#ifdef Q_OS_WIN
        QSKIP("the freedesktop menu entry and icons are Linux's; Windows has the Start-menu shortcut");
#else
        const QString data = tmp.filePath("data");
        qputenv("XDG_DATA_HOME", data.toUtf8());
        const QString t = tmp.filePath("Mój program/TVO DEMO");
        platform::DesktopEntry e{"Tavro 2010 DEMO", {t + "/TVODEMO.EXE", "katCD=/media/cd"}, t};
        QStringList written, folders;
        QString error;
        QVERIFY2(Integration::writeMenuEntry(e, t, written, folders, &error), qPrintable(error));
        QCOMPARE(written.size(), 5);
        for (const QString &f : {data, data + "/applications", data + "/icons/hicolor/256x256/apps"})
            QVERIFY2(folders.contains(f), qPrintable(f));
        for (const int s : Integration::iconSizes) {
            const QString png = QString("%1/icons/hicolor/%2x%2/apps/pl.tavro.Tavro2010Demo.png").arg(data).arg(s);
            QVERIFY(written.contains(png));
            QCOMPARE(QImage(png).size(), QSize(s, s));
        }
        const QString menu = data + "/applications/pl.tavro.Tavro2010Demo.desktop";
        QCOMPARE(written.last(), menu);
        QCOMPARE(validate(menu), QString());
        QFile f(menu);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        const QString exec = "\"" + t + "/TVODEMO.EXE\" katCD=/media/cd";
        for (const QString &line : QStringList{"Name=Tavro 2010 DEMO", "Exec=" + exec, "Path=" + t, "Icon=pl.tavro.Tavro2010Demo",
                                    "Categories=Office;Finance;", "StartupWMClass=TVODEMO", "Actions=uninstall;",
                                    "[Desktop Action uninstall]", "Name=Odinstaluj",
                                    "Exec=\"" + t + "/ODINSTALUJ.EXE\" --uninstall"})
            QVERIFY2(text.contains("\n" + line + "\n"), qPrintable(line + " missing in\n" + text));
        QVERIFY(text.contains("\nComment=Demonstracyjna wersja"));
        QCOMPARE(QFile(menu).permissions() & (QFile::ExeOwner | QFile::WriteOther), QFile::Permissions{});
#endif
    }

    void unwritableDataFolder()
    {
#ifdef Q_OS_WIN
        QSKIP("the XDG data folder is Linux's");
#else
        // A file where the icon folders should be: the icons fail, the menu entry is written.
        const QString data = tmp.filePath("blocked");
        writeFile(data + "/icons", "in the way");
        qputenv("XDG_DATA_HOME", data.toUtf8());
        QStringList written, folders;
        QString error;
        QVERIFY(!Integration::writeMenuEntry({"n", {"/p"}, "/"}, "/t", written, folders, &error));
        QCOMPARE(written, QStringList{data + "/applications/pl.tavro.Tavro2010Demo.desktop"});
        QVERIFY2(error.startsWith(data + "/icons/hicolor/48x48/apps/pl.tavro.Tavro2010Demo.png\r"), qPrintable(error));
#endif
    }
};

QTEST_MAIN(TestUninstall)
#include "tst_Uninstall.moc"
