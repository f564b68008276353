#include "desktop.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace platform;

class TestDesktop : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void execLine_data()
    {
        QTest::addColumn<QStringList>("argv");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << QStringList{"/opt/a/TVODEMO.EXE", "katCD=/media/cd"}
                               << "/opt/a/TVODEMO.EXE katCD=/media/cd";
        QTest::newRow("blank") << QStringList{"/home/u/My Dir/TVODEMO.EXE"} << "\"/home/u/My Dir/TVODEMO.EXE\"";
        QTest::newRow("dollar and quote") << QStringList{"a$b\"c"} << "\"a\\\\$b\\\\\"c\"";
        QTest::newRow("backslash") << QStringList{"x\\y"} << "\"x\\\\\\\\y\"";
        QTest::newRow("percent") << QStringList{"100%"} << "100%%";
        QTest::newRow("empty argument") << QStringList{"p", ""} << "p \"\"";
    }
    void execLine()
    {
        QFETCH(QStringList, argv);
        QFETCH(QString, exec);
        QCOMPARE(desktopExecLine(argv), exec);
    }

    void writtenEntryValidates()
    {
        const QString file = tmp.path() + "/Tavro 2010 DEMO.desktop";
        DesktopEntry e{"Tavro 2010 DEMO", {tmp.path() + "/T O/TVODEMO.EXE", "katCD=/media/c d"}, tmp.path() + "/T O"};
        QString err;
        QVERIFY2(writeDesktopEntry(file, e, &err), qPrintable(err));
        QVERIFY(QFileInfo(file).isExecutable());
        const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
        QVERIFY2(!validator.isEmpty(), "desktop-file-validate is installed by the set-up script");
        QProcess p;
        p.start(validator, {file});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardOutput().constData());
        QVERIFY(p.readAllStandardOutput().trimmed().isEmpty());
    }

    // Whatever has the entry's name is replaced by the new entry: a link
    // there is not written through, and no temporary file stays.
    void entryReplacesWhatHasItsName_data()
    {
        QTest::addColumn<QString>("existing");
        for (const char *kind : {"link to a file", "link to a missing file", "older entry"})
            QTest::newRow(kind) << kind;
    }
    void entryReplacesWhatHasItsName()
    {
        QFETCH(QString, existing);
        const QString folder = tmp.path() + "/desk", victim = tmp.path() + "/victim.txt";
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        QFile::remove(victim);
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write("victim");
        v.close();
        const QString file = folder + "/Tavro 2010 DEMO.desktop";
        if (existing == "link to a file")
            QVERIFY(QFile::link(victim, file));
        else if (existing == "link to a missing file")
            QVERIFY(QFile::link(tmp.path() + "/none", file));
        else
            QVERIFY(QFile::copy(victim, file));
        const DesktopEntry e{"Tavro 2010 DEMO", {"/opt/t/TVODEMO.EXE", "katCD=/media/cd"}, "/opt/t"};
        QString err;
        QVERIFY2(writeDesktopEntry(file, e, &err), qPrintable(err));
        QVERIFY(!QFileInfo(file).isSymLink());
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(written.readAll()), desktopEntryText(e));
        QVERIFY(QFileInfo(file).isExecutable());
        QVERIFY(!QFileInfo::exists(tmp.path() + "/none"));
        QFile check(victim);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.readAll(), QByteArray("victim"));
        QCOMPARE(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{"Tavro 2010 DEMO.desktop"});
    }

    void unwritableFolderFails()
    {
        QString err;
        QVERIFY(!writeDesktopEntry(tmp.path() + "/missing/x.desktop", {"n", {"p"}, "/"}, &err));
        QVERIFY(!err.isEmpty());
    }

    void desktopFolderFromUserDirs_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("configHome"); // relative to the current folder, HOME
        QTest::addColumn<QString>("folder");     // relative to HOME
        const QString cfg = "cfg";
        QTest::newRow("home relative") << "XDG_DESKTOP_DIR=\"$HOME/Pulpit\"" << cfg << "/Pulpit";
        QTest::newRow("none") << "XDG_MUSIC_DIR=\"$HOME/Muzyka\"" << cfg << "/Desktop";
        QTest::newRow("later line wins") << "XDG_DESKTOP_DIR=\"$HOME/Stary\"\nXDG_DESKTOP_DIR=\"$HOME/Nowy\"" << cfg
                                         << "/Nowy";
        // An invalid (relative) config home is not looked up below the current folder.
        QTest::newRow("relative config home") << "XDG_DESKTOP_DIR=\"$HOME/Pulpit\"" << "./cfg" << "/Desktop";
    }
    void desktopFolderFromUserDirs()
    {
        QFETCH(QString, line);
        QFETCH(QString, configHome);
        QFETCH(QString, folder);
        const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
        const QString oldCwd = QDir::currentPath();
        qputenv("HOME", tmp.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", configHome == "cfg" ? (tmp.path() + "/cfg").toUtf8() : configHome.toUtf8());
        QDir::setCurrent(tmp.path());
        QDir().mkpath(tmp.path() + "/cfg");
        QFile f(tmp.path() + "/cfg/user-dirs.dirs");
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(("# comment\n" + line + "\n").toUtf8());
        f.close();
        const QString got = desktopFolder();
        QDir::setCurrent(oldCwd);
        qputenv("HOME", oldHome);
        qputenv("XDG_CONFIG_HOME", oldConfig);
        QCOMPARE(got, tmp.path() + folder);
    }

    void startDetachedRunsInFolder()
    {
        const QString out = tmp.path() + "/pwd.txt";
        QVERIFY(startDetached({"/bin/sh", "-c", "pwd > \"$0\"", out}, tmp.path()));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(out).size() > 0, 5000);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).trimmed(), QDir(tmp.path()).canonicalPath());
        QVERIFY(!startDetached({tmp.path() + "/no-such-program"}, tmp.path()));
    }
};

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
