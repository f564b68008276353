// The wizard's target-folder check and installation run on real files: an
// installer file with a payload, and one with a TVO-DEMO folder beside it.
#include "installtraces.h"
#include "modalwatchdog.h"
#include "AppCore.h"
#include "Gauges.h"
#include "Manifest.h"
#include "Payload.h"
#include "RarWriter.h"
#include "desktop.h"
#include "drives.h"
#include "filehandle.h"
#include "fileio.h"
#include "hostfixtures.h"
#include "imagelength.h"
#include "installfixtures.h"
#include "okienko.h"
#include "resstore.h"
#include "smalldisk.h"
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

class TestInstall : public InstallTestBase {
    Q_OBJECT
    ModalWatchdog watchdog; // a modal window nobody answers fails the test
    QString desktop;
#ifdef Q_OS_WIN
    DesktopValue desktopValue; // the registry's desktop folder, the test's own while it runs
#endif

    QString shortcut() const { return desktop + "/" + platform::shortcutFileName("Tavro 2010 DEMO"); }

private slots:
    void cleanup() { watchdog.verifyAllAnswered(); }
    void initTestCase()
    {
        App::initModules();
        platform::setDriveRoot('D', tmp.path());
        platform::setDriveRoot('H', host("gone/home")); // a home folder not made yet
        desktop = host("desk");
        writeFile(host("cfg/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"" + desktop.toUtf8() + "\"\n");
        qputenv("XDG_CONFIG_HOME", host("cfg").toUtf8());
        qputenv("XDG_DATA_HOME", host("data").toUtf8());
#ifdef Q_OS_WIN
        desktopValue.redirect(desktop);
#endif
    }
    void init()
    {
        App::resetTerminated();
        QDir(host("target")).removeRecursively();
        QDir(host("gone")).removeRecursively();
        QDir(desktop).removeRecursively();
        QDir(host("data")).removeRecursively();
    }
    void cleanupTestCase()
    {
        SetPayloadSourceForTesting({});
        removeInstallationTraces();
    }

    void targetFolderCheck_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("shown"); // edit box afterwards
        QTest::addColumn<QString>("message");
        QTest::newRow("bare root") << "D:\\" << QList<int>{} << false << "D:\\" << "Błąd|Podaj katalog docelowy !";
        QTest::newRow("empty") << "" << QList<int>{} << false << "" << "Błąd|Podaj katalog docelowy !";
        QTest::newRow("no drive") << "Q:\\TVO-DEMO" << QList<int>{} << false << "Q:\\TVO-DEMO\\"
                                  << "Błąd|Za mało miejsca na wybranym dysku !\nInstalacja wymaga minimum 55MB.";
        QTest::newRow("new folder") << "D:\\A\\B" << QList<int>{} << true << "D:\\A\\B\\" << "";
        QTest::newRow("drive's folder not made yet") << "H:\\TVO-DEMO" << QList<int>{} << true << "H:\\TVO-DEMO\\" << "";
        QTest::newRow("existing, no") << "D:\\cfg" << QList<int>{7} << false << "D:\\cfg\\"
                                      << "Potwierdź|Podany katalog już istnieje !\nCzy chcesz kontynuować\n"
                                         "(nadpisując wszystkie pliki) ?";
        QTest::newRow("existing, yes") << "D:\\cfg\\" << QList<int>{1} << true << "D:\\cfg\\"
                                       << "Potwierdź|Podany katalog już istnieje !\nCzy chcesz kontynuować\n"
                                          "(nadpisując wszystkie pliki) ?";
        QTest::newRow("file in the way") << "D:\\cfg\\user-dirs.dirs\\X" << QList<int>{} << false
                                         << "D:\\cfg\\user-dirs.dirs\\X\\" << "Błąd|Nieprawidłowy katalog !";
    }
    void targetFolderCheck()
    {
        QFETCH(QString, typed);
        QFETCH(QList<int>, answers);
        QFETCH(bool, accepted);
        QFETCH(QString, shown);
        QFETCH(QString, message);
#ifdef Q_OS_WIN
        if (typed.startsWith("H:"))
            QSKIP("a drive of the system always has its root; only a drive of the Linux table can name a folder "
                  "not made yet");
#endif
        Answers a;
        a.script = answers;
        Wizard w;
        w.ui->edKatalog->setText(typed);
        QCOMPARE(w.ValidateTargetFolder(), accepted);
        QCOMPARE(w.ui->edKatalog->text(), shown);
        QCOMPARE(a.asked.join("/").replace('\r', '\n'), message);
        QCOMPARE(w.ui->lblKatalog->text(), accepted ? shown : QString());
        if (accepted)
            QVERIFY(QFileInfo(platform::toHostPath(shown)).isDir());
    }

    // 55 MB free is enough; one page less is not. What counts is the file
    // system that holds the target, also one mounted below a drive's folder.
    void freeSpaceBoundary_data()
    {
        QTest::addColumn<int>("used");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("exactly 55 MB free") << 0 << "E:\\TVO-DEMO\\" << true;
        QTest::newRow("4 KiB less") << 4096 << "E:\\TVO-DEMO\\" << false;
        QTest::newRow("4 KiB less, mounted below the drive's folder") << 4096 << "D:\\d55\\TVO-DEMO\\" << false;
    }
    void freeSpaceBoundary()
    {
        QFETCH(int, used);
        QFETCH(QString, target);
        QFETCH(bool, accepted);
        SmallDisk disk(host("d55"), 55 * 1024 * 1024);
        QVERIFY2(disk.mounted(), qPrintable(disk.error()));
        writeFile(host("d55/used"), QByteArray(used, 'u'));
        platform::setDriveRoot('E', host("d55"));
        auto restore = qScopeGuard([] { platform::setDriveRoot('E', QString()); });
        Answers a;
        Wizard w;
        w.ui->edKatalog->setText(target);
        QCOMPARE(w.ValidateTargetFolder(), accepted);
        QCOMPARE(a.asked.join("/").replace('\r', '\n'),
                 accepted ? QString() : QString("Błąd|Za mało miejsca na wybranym dysku !\nInstalacja wymaga minimum 55MB."));
    }

    void installsFromPayload()
    {
        const QList<RarEntry> entries = {
            {"BAZA", true, 0755, {}, {}, {}, false},
            {"BAZA/ceny.dbf", false, 0644, {}, QByteArray(5000, 'c'), {}, false},
            {"TVODEMO.EXE", false, 0755, {}, "#!/bin/sh\n", {}, false},
            {"czytaj.txt", false, 0644, {}, "zażółć", {}, false},
        };
        makeInstaller(host("cd/setup"), archiveOf(entries));
        Answers a;
        Wizard w;
        prepare(w, "cd/setup");
        w.ShowPage(3);
        QCoreApplication::sendPostedEvents(&w);
        QCOMPARE(a.asked, QStringList());
        QCOMPARE(w.currentPage(), 4);
        QVERIFY(!App::terminated());
        QCOMPARE(w.gaugeInstalka->maxValue(), 4);
        QCOMPARE(w.gaugeInstalka->progress(), 4);
        QCOMPARE(QFileInfo(host("target/BAZA/ceny.dbf")).size(), 5000);
        QVERIFY(QFileInfo(host("target/TVODEMO.EXE")).isExecutable());
        QVERIFY(QFileInfo::exists(host("target/czytaj.txt")));
        QVERIFY(!QFileInfo::exists(host("target/TVO-DEMO.RAR")));
        QVERIFY(!QFileInfo::exists(host("target/TVOUNRAR.DLL")));
        QVERIFY(entryExists(shortcut()));
        QStringList command = w.installedProgramCommand();
        for (QString &arg : command)
            arg = QDir::fromNativeSeparators(arg); // Windows: the system's separators
        QCOMPARE(command, QStringList({host("target/TVODEMO.EXE"), "katCD=" + host("cd")}));
#ifndef Q_OS_WIN
        QFile entry(shortcut());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY(text.split('\n').contains("Name=Tavro 2010 DEMO"));
        QVERIFY(text.contains("Exec=" + host("target/TVODEMO.EXE") + " katCD=" + host("cd")));
        QVERIFY(text.contains("Path=" + host("target")));
        QVERIFY(text.contains("\nIcon=pl.tavro.Tavro2010Demo\n"));
#endif
        // The uninstaller and its list: every file, the entries and the icons.
        QVERIFY(QFileInfo(host("target/ODINSTALUJ.EXE")).isExecutable());
        {
            const platform::FileHandle self = platform::openForReading(QCoreApplication::applicationFilePath());
            QCOMPARE(QFileInfo(host("target/ODINSTALUJ.EXE")).size(), platform::imageLength(self.get()));
        }
        QStringList files, folders;
        for (const ManifestEntry &e : readManifest(host("target/ODINSTALUJ.LST")))
            (e.stamp.kind == platform::FileStamp::Folder ? folders : files) << QDir::fromNativeSeparators(e.path);
        QStringList expected{"BAZA/ceny.dbf", "TVODEMO.EXE", "czytaj.txt", shortcut()};
#ifdef Q_OS_WIN
        // The menu entry is a shortcut in the user's Start menu.
        expected << platform::programsMenuFolder() + "/" + platform::shortcutFileName("Tavro 2010 DEMO");
        const QStringList made{"BAZA", desktop};
#else
        for (const int size : {48, 64, 128, 256})
            expected << QString("%1/icons/hicolor/%2x%2/apps/pl.tavro.Tavro2010Demo.png").arg(host("data")).arg(size);
        expected << host("data/applications/pl.tavro.Tavro2010Demo.desktop");
        const QStringList made{"BAZA", desktop, host("data"), host("data/icons/hicolor/48x48/apps")};
#endif
        QCOMPARE(files, expected);
        // The folders it made: the archive's, the desktop folder, the data folders.
        for (const QString &f : made)
            QVERIFY2(folders.contains(f), qPrintable(f + " not in " + folders.join(", ")));
        QVERIFY(!folders.contains(".")); // the target was there before
    }

    void closingDuringExtractionCleansUp()
    {
        QList<RarEntry> entries;
        for (int i = 0; i < 10; ++i)
            entries.append({QString("f%1.txt").arg(i), false, 0644, {}, QByteArray(100, 'x'), {}, false});
        makeInstaller(host("cd/setup"), archiveOf(entries));
        Answers a;
        Wizard w;
        prepare(w, "cd/setup");
        int seen = 0;
        // The user confirms closing while the third entry is being extracted.
        auto ticker = new QTimer(&w);
        QObject::connect(ticker, &QTimer::timeout, [&] {
            if (++seen == 3)
                App::terminate();
        });
        ticker->start(0);
        w.RunInstallation();
        QCOMPARE(a.asked, QStringList()); // the silent abort shows nothing
        QVERIFY(App::terminated());
        QVERIFY(!QFileInfo::exists(host("target/TVO-DEMO.RAR")));
        QVERIFY(!QFileInfo::exists(host("target/TVOUNRAR.DLL")));
        QVERIFY(QFileInfo::exists(host("target/f0.txt")));
        QVERIFY(!QFileInfo::exists(host("target/f9.txt")));
        QVERIFY(!entryExists(shortcut()));
        // What was extracted before the close can be removed again.
        QCOMPARE(readManifest(host("target/ODINSTALUJ.LST")).first().path, "f0.txt");
    }

    void damagedArchiveIsReported()
    {
        makeInstaller(host("cd/setup"), archiveOf({{"a.txt", false, 0644, {}, "abc", {}, true}}));
        Answers a;
        Wizard w;
        prepare(w, "cd/setup");
        w.RunInstallation();
        QCOMPARE(a.asked, QStringList({"system:|File CRC error !"}));
        QVERIFY(App::terminated());
        QCOMPARE(w.currentPage(), 4);
        QVERIFY(!QFileInfo::exists(host("target/TVO-DEMO.RAR")));
        QVERIFY(!QFileInfo::exists(host("target/TVOUNRAR.DLL")));
    }

    void copiesFolderBesideInstaller()
    {
        QDir(host("cd2")).removeRecursively();
        makeInstaller(host("cd2/setup"), {}, false);
        writeFile(host("cd2/TVO-DEMO/TVODEMO.EXE"), "#!/bin/sh\n");
        writeFile(host("cd2/TVO-DEMO/BAZA/ceny.dbf"), QByteArray(20000, 'q'));
        writeFile(host("cd2/TVO-DEMO/BAZA/.ukryty"), "hidden");
        QDir().mkpath(host("cd2/TVO-DEMO/PUSTY"));
        QFile::setPermissions(host("cd2/TVO-DEMO/TVODEMO.EXE"), QFile::ReadOwner); // read-only source
        Answers a;
        Wizard w;
        prepare(w, "cd2/setup");
        w.RunInstallation();
        QCOMPARE(a.asked, QStringList());
        QCOMPARE(w.gaugeInstalka->maxValue(), 5); // 2 folders, 2 files, the shortcut
        QCOMPARE(w.gaugeInstalka->progress(), 5);
        QCOMPARE(QFileInfo(host("target/BAZA/ceny.dbf")).size(), 20000);
        QVERIFY(QFileInfo(host("target/PUSTY")).isDir());
        QVERIFY(!QFileInfo::exists(host("target/BAZA/.ukryty")));
        QVERIFY(QFileInfo(host("target/TVODEMO.EXE")).isWritable()); // attributes cleared
        QVERIFY(entryExists(shortcut()));
    }

    void copiesNamesThatAreNotUtf8()
    {
        // Names written in another code page (cp1250) or holding 0xFF are
        // copied byte for byte, folders with everything under them.
        // QDir cannot remove such names, so the test removes them by bytes.
#ifdef Q_OS_WIN
        QSKIP("Linux's names are bytes; Windows's are UTF-16 text");
#else
        const auto removeByBytes = qScopeGuard([this] {
            for (const char *rel : {"cd5", "target"})
                std::filesystem::remove_all(QFile::encodeName(host(rel)).toStdString());
        });
        QDir(host("cd5")).removeRecursively();
        makeInstaller(host("cd5/setup"), {}, false);
        const QByteArray src = QFile::encodeName(host("cd5/TVO-DEMO/"));
        const QByteArray dst = QFile::encodeName(host("target/"));
        QVERIFY(QDir().mkpath(host("cd5/TVO-DEMO")));
        QCOMPARE(::mkdir(src + "kat\xFF", 0755), 0);
        QCOMPARE(::mkdir(src + "kat\xFF/g\xB9\xEA", 0755), 0);
        const QList<QByteArray> files{"plik\xFF.txt", "kat\xFF/a.txt", "kat\xFF/g\xB9\xEA/ceny\x9C.dbf"};
        for (const QByteArray &rel : files) {
            const int fd = ::open(src + rel, O_WRONLY | O_CREAT, 0644);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, rel.constData(), size_t(rel.size())), ssize_t(rel.size()));
            ::close(fd);
        }
        Answers a;
        Wizard w;
        prepare(w, "cd5/setup");
        w.RunInstallation();
        QCOMPARE(a.asked, QStringList());
        QCOMPARE(w.gaugeInstalka->progress(), 6); // 2 folders, 3 files, the shortcut
        for (const QByteArray &rel : files) {
            char buf[64] = {};
            const int fd = ::open(dst + rel, O_RDONLY);
            QVERIFY2(fd >= 0, rel.toPercentEncoding().constData());
            QCOMPARE(QByteArray(buf, int(::read(fd, buf, sizeof buf))), rel);
            ::close(fd);
        }
#endif
    }

    void missingSourceFolder()
    {
        QDir(host("cd3")).removeRecursively();
        makeInstaller(host("cd3/setup"), {}, false);
        Answers a;
        Wizard w;
        prepare(w, "cd3/setup");
        w.RunInstallation();
        QCOMPARE(a.asked.join("/").replace('\r', '\n'),
                 "Błąd|Nie znaleziono katalogu:\n" + platform::toDrivePath(host("cd3")) + "\\TVO-DEMO\\");
        QVERIFY(App::terminated());
    }
};

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
