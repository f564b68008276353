// The list of installed files: writing, reading back, refusing a damaged or
// hostile list, and recording what an installation creates.
#include "crc32.h"
#include "Exceptions.h"
#include "filefixtures.h"
#include "fileio.h"
#include "hostfixtures.h"
#include "Manifest.h"
#include "ownedfiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using Kind = platform::FileStamp::Kind;

namespace {

ManifestEntry file(const QString &path, qint64 size = 12, qint64 mtime = 1700000000123456789)
{
    return {path, {Kind::File, size, mtime}};
}
ManifestEntry folder(const QString &path) { return {path, {Kind::Folder, 0, 0}}; }

// The user's home folder and the shortcut an installation puts outside its
// folder, as each system has them; the rows below are written with Linux's.
#ifdef Q_OS_WIN
const QString kShortcut = QStringLiteral("Tavro 2010 DEMO.lnk");
QByteArray onThisSystem(QByteArray text)
{
    return text.replace("/home/u", "C:/Users/u").replace("Tavro 2010 DEMO.desktop", kShortcut.toUtf8());
}
#else
const QString kShortcut = QStringLiteral("Tavro 2010 DEMO.desktop");
QByteArray onThisSystem(const QByteArray &text) { return text; }
#endif

// A body with a correct closing line.
QByteArray sealed(QByteArray body, int items)
{
    body = onThisSystem(body);
    const quint32 crc = platform::crc32(0, body.constData(), size_t(body.size()));
    return body + "END " + QByteArray::number(items) + ' ' + QByteArray::number(crc, 16).rightJustified(8, '0')
           + '\n';
}

} // namespace

class TestManifest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    const QString target = QString::fromUtf8(onThisSystem("/home/u/Moje programy/TVO-DEMO"));

    // An installation's folder for the data row: the program file and an
    // uninstaller.
    QString installedFolder(const char *kind)
    {
        const QString t = tmp.filePath(QString("%1 %2").arg(QLatin1String(kind), QTest::currentDataTag()));
        writeFile(t + "/TVODEMO.EXE", "abc");
        return QFile::copy(TVO_SETUP, t + "/ODINSTALUJ.EXE") ? t : QString();
    }

    // Starts the uninstaller of folder t without a display, so that it asks on
    // the terminal.
    void startWithoutDisplay(QProcess &p, const QString &t, const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("XDG_DATA_HOME", tmp.filePath("data"));
        p.setProcessEnvironment(env);
        p.start(t + "/ODINSTALUJ.EXE", args);
    }

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<Manifest>("manifest");
        QTest::newRow("empty") << Manifest{};
        QTest::newRow("plain") << Manifest{file("TVODEMO.EXE"), file("BAZA/ceny.dbf", 0, 0), folder("BAZA"), folder(".")};
        QTest::newRow("blanks and Polish letters")
            << Manifest{file(" zażółć gęślą jaźń .txt"), file("Kosztorys ŁÓDŹ/a b"), folder("Kosztorys ŁÓDŹ")};
        QTest::newRow("backslash, line breaks")
            << Manifest{file("a\\b"), file("x\ny"), file("c\rd\\n"), {"link", {Kind::Link, 7, 5}}};
        QTest::newRow("not UTF-8") << Manifest{file(platform::hostNameFromBytes(QByteArray("caf\xe9 \xff\\.txt"))),
                                               folder(platform::hostNameFromBytes(QByteArray("\xc0\xaf")))};
#ifdef Q_OS_WIN
        const QString menu = "C:/Users/u/AppData/Roaming/Microsoft/Windows/Start Menu/Programs";
        QTest::newRow("outside the target")
            << Manifest{file("C:/Users/u/Desktop/" + kShortcut), file(menu + "/" + kShortcut), folder(menu),
                        folder("C:/Users/u/Desktop"), folder("C:/Users/u/Moje programy"), folder("C:/Users")};
#else
        QTest::newRow("outside the target")
            << Manifest{file("/home/u/Pulpit/Tavro 2010 DEMO.desktop"),
                        file("/home/u/.local/share/applications/pl.tavro.Tavro2010Demo.desktop"),
                        file("/home/u/.local/share/icons/hicolor/48x48/apps/pl.tavro.Tavro2010Demo.png"),
                        folder("/home/u/.local/share/icons/hicolor/48x48"), folder("/home/u/Pulpit"),
                        folder("/home/u/Moje programy"), folder("/home")};
#endif
    }
    void roundTrip()
    {
        QFETCH(Manifest, manifest);
        const QByteArray text = manifestText(manifest);
        QVERIFY(text.startsWith("TVO-MANIFEST 1\n"));
        QCOMPARE(text.count('\n'), manifest.size() + 2); // one line per item
        QCOMPARE(parseManifest(text, target, "x"), manifest);
        // ... and through a file.
        const QString path = tmp.filePath("list");
        writeManifest(path, manifest);
#ifndef Q_OS_WIN // Windows keeps no such permission bit
        QCOMPARE(QFile(path).permissions() & QFile::WriteOther, QFile::Permissions{});
#endif
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), text);
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("why");
        const QByteArray good = manifestText({file("a.txt"), folder("BAZA")});
        QTest::newRow("empty file") << QByteArray() << "brak nagłówka";
        QTest::newRow("something else") << QByteArray("[Desktop Entry]\n") << "brak nagłówka";
        QTest::newRow("newer version") << sealed("TVO-MANIFEST 2\n", 0) << "nieznana wersja";
        QTest::newRow("cut short") << good.left(good.size() - 10) << "niepełna";
        QTest::newRow("no closing line") << good.left(good.indexOf("END")) << "niepełna";
        QByteArray flipped = good;
        flipped[flipped.indexOf("a.txt")] = 'b';
        QTest::newRow("changed byte") << flipped << "suma kontrolna";
        QTest::newRow("item count") << sealed("TVO-MANIFEST 1\nD BAZA\n", 2) << "niepełna";
        QTest::newRow("unknown kind") << sealed("TVO-MANIFEST 1\nX a\n", 1) << "wiersz 2";
        QTest::newRow("size not a number") << sealed("TVO-MANIFEST 1\nD a\nF 1x 2 b\n", 2) << "wiersz 3";
        QTest::newRow("negative size") << sealed("TVO-MANIFEST 1\nF -1 2 b\n", 1) << "wiersz 2";
        QTest::newRow("no path") << sealed("TVO-MANIFEST 1\nF 1 2\n", 1) << "wiersz 2";
        QTest::newRow("bad escape") << sealed("TVO-MANIFEST 1\nF 1 2 a\\q\n", 1) << "wiersz 2";
        QTest::newRow("blank line") << sealed("TVO-MANIFEST 1\n\n", 1) << "wiersz 2";
        QTest::newRow("climbs out") << sealed("TVO-MANIFEST 1\nF 1 2 BAZA/../../.bashrc\n", 1) << "poza katalog";
        QTest::newRow("empty part") << sealed("TVO-MANIFEST 1\nD a//b\n", 1) << "poza katalog";
        QTest::newRow("file elsewhere") << sealed("TVO-MANIFEST 1\nF 1 2 /home/u/.bashrc\n", 1) << "plik poza";
        QTest::newRow("folder elsewhere") << sealed("TVO-MANIFEST 1\nD /home/u/Dokumenty\n", 1) << "katalog poza";
        QTest::newRow("folder holding no listed file")
            << sealed("TVO-MANIFEST 1\nF 1 2 /home/u/Pulpit/Tavro 2010 DEMO.desktop\nD /home/u/Pulpi\n", 2)
            << "wiersz 3: katalog poza";
        QTest::newRow("sibling folder") << sealed("TVO-MANIFEST 1\nD /home/u/Moje\n", 1) << "katalog poza";
        QTest::newRow("not plain") << sealed("TVO-MANIFEST 1\nD /home/u/../u\n", 1) << "postaci prostej";
        QTest::newRow("target as a file") << sealed("TVO-MANIFEST 1\nF 1 2 .\n", 1) << "nieprawidłowa";
    }
    void damaged()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, why);
        try {
            parseManifest(text, target, "C:\\TVO-DEMO\\ODINSTALUJ.LST");
            QFAIL("a damaged list was accepted");
        } catch (const Exception &e) {
            QVERIFY2(e.message().startsWith("Lista zainstalowanych plików jest uszkodzona:\rC:\\TVO-DEMO\\ODINSTALUJ.LST\r("),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(why), qPrintable(e.message()));
        }
    }

    void unreadableFile()
    {
        QVERIFY_THROWS_EXCEPTION(Exception, readManifest(tmp.filePath("none/ODINSTALUJ.LST")));
    }

    void recordStampsWhatExists()
    {
        const QString t = tmp.filePath("rec/Zażółć T");
        writeFile(t + "/BAZA/sub/ceny.dbf", "12345");
        writeFile(t + "/TVODEMO.EXE", "#!/bin/sh\n");
        // Where no link can be made (kNoLinksHere) a file stands in for it.
        const bool linked = makeSymbolicLink("TVODEMO.EXE", t + "/link", false);
        if (!linked)
            writeFile(t + "/link", "x");
        writeFile(tmp.filePath("rec/desk/" + kShortcut), "shortcut");
        InstallRecord r;
        r.setTarget(t + "/");
        r.addCreatedFolders({t, tmp.filePath("rec")});
        r.addBelowTarget("BAZA\\sub\\ceny.dbf"); // drive form
        r.addBelowTarget("TVODEMO.EXE");
        r.addBelowTarget("link");
        r.addBelowTarget("TVOUNRAR.DLL"); // removed again: not listed
        r.addBelowTarget("../escape");    // never listed
        r.addOutside(tmp.filePath("rec/desk/" + kShortcut));
        const Manifest m = r.stamped();
        QStringList paths;
        for (const auto &e : m)
            paths << e.path;
        QCOMPARE(paths, QStringList({"BAZA/sub/ceny.dbf", "TVODEMO.EXE", "link",
                                     QDir::cleanPath(tmp.filePath("rec/desk/" + kShortcut)), ".",
                                     QDir::cleanPath(tmp.filePath("rec")), "BAZA", "BAZA/sub"}));
        QCOMPARE(m[0].stamp.kind, Kind::File);
        QCOMPARE(m[0].stamp.size, 5);
        QCOMPARE(m[2].stamp.kind, linked ? Kind::Link : Kind::File);
        QCOMPARE(m[4].stamp.kind, Kind::Folder);
        // The list is one the uninstaller accepts for this target.
        QCOMPARE(parseManifest(manifestText(m), t, "x"), m);
    }

    // One reader over many paths, in an order that leaves and re-enters
    // folders, stamps each path as a descent of its own does.
    void stampReaderAgreesWithStampBelow()
    {
        const QString t = tmp.filePath("reader");
        writeFile(t + "/a.txt", "1");
        writeFile(t + "/d/b.txt", "22");
        writeFile(t + "/d/e/c.txt", "333");
        writeFile(t + "/d-2/f.txt", "4444");
        writeFile(t + "/elsewhere/x", "55555");
        const bool linked = makeSymbolicLink(t + "/elsewhere", t + "/d/via-link", true);
        if (!linked) // kNoLinksHere: a folder stands in for it
            writeFile(t + "/d/via-link/x", "55555");
        const QStringList paths{"d/e/c.txt", "a.txt", "d/b.txt", "d-2/f.txt", "d/e/c.txt", "d/e",
                                "d/via-link/x", "d/via-link", "missing/x", "d/missing", "d/e/c.txt/deeper",
                                "../reader/a.txt", "d/./b.txt", "d/.", "d/e/../b.txt", "", "d//b.txt", "d/b.txt"};
        platform::StampReader reader(t);
        for (const QString &p : paths) {
            const platform::FileStamp got = reader.stamp(p), want = platform::stampBelow(t, p);
            QVERIFY2(got == want && got.kind == want.kind, qPrintable(p));
        }
        QCOMPARE(reader.stamp("d/e/c.txt").size, 3);
        if (linked)
            QCOMPARE(reader.stamp("d/via-link/x").kind, Kind::Other); // a link on the way is not followed
        QCOMPARE(reader.stamp("d/missing").kind, Kind::None);
        // A root that cannot be opened stamps nothing.
        platform::StampReader none(t + "/no such folder");
        QCOMPARE(none.stamp("a.txt").kind, Kind::None);
        QCOMPARE(none.stamp("d/b.txt").kind, Kind::None);
    }

    // Paths recorded in any order, folders among them, get the stamps that
    // a stamp of each alone gives, in the order they were recorded.
    void recordStampsFolderByFolder()
    {
        const QString t = tmp.filePath("order");
        InstallRecord r;
        r.setTarget(t);
        QStringList want;
        for (int i = 0; i < 30; ++i) {
            const QString rel = QStringLiteral("k%1/p%2.dat").arg(i % 3).arg(i);
            writeFile(t + '/' + rel, QByteArray(i, 'x'));
            r.addBelowTarget(rel);
        }
        writeFile(t + "/k0-x/q", "q");
        r.addBelowTarget("k0-x/q");
        const Manifest m = r.stamped();
        QCOMPARE(m.size(), 30 + 3 + 2);
        for (const ManifestEntry &e : m) {
            const platform::FileStamp alone = platform::stampBelow(t, e.path);
            QVERIFY2(e.stamp == alone && e.stamp.kind == alone.kind, qPrintable(e.path));
        }
        QCOMPARE(m[0].path, "k0/p0.dat");
        QCOMPARE(m[1].path, "k1/p1.dat"); // recorded order, not sorted
        QCOMPARE(m[1].stamp.size, 1);
    }

    // The folders on the way to each entry are recorded once, after the
    // entries that need them; nothing from a "." or ".." part on.
    void recordsTheFoldersOnTheWay_data()
    {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("siblings") << QStringList{"a\\b\\c.txt", "a\\b\\d.txt"}
                                  << QStringList{"a/b/c.txt", "a/b/d.txt", "a", "a/b"};
        QTest::newRow("shallower after deeper") << QStringList{"a\\b\\c.txt", "a\\y.txt"}
                                                << QStringList{"a/b/c.txt", "a/y.txt", "a", "a/b"};
        QTest::newRow("folder, then its file") << QStringList{"a", "a\\x.txt"} << QStringList{"a/x.txt", "a"};
        QTest::newRow("doubled and mixed separators") << QStringList{"a//b/\\c.txt"}
                                                      << QStringList{"a/b/c.txt", "a", "a/b"};
        QTest::newRow("up to a dotdot part") << QStringList{"a\\b\\..\\c.txt"} << QStringList{"a", "a/b"};
        QTest::newRow("a dot part first") << QStringList{".\\x.txt", "..\\y.txt"} << QStringList{};
        QTest::newRow("a name with a colon") << QStringList{":c.txt", "a\\:c.txt"} << QStringList{":c.txt", "a/:c.txt", "a"};
    }
    void recordsTheFoldersOnTheWay()
    {
        QFETCH(QStringList, added);
        QFETCH(QStringList, listed);
        const QString t = tmp.filePath(QStringLiteral("way/") + QTest::currentDataTag());
        for (const char *f : {"a/b/c.txt", "a/b/d.txt", "a/y.txt", "a/x.txt", ":c.txt", "a/:c.txt"})
            writeFile(t + '/' + f, "1");
        InstallRecord r;
        r.setTarget(t);
        for (const QString &name : added)
            r.addBelowTarget(name);
        QStringList paths;
        for (const ManifestEntry &e : r.stamped())
            paths << e.path;
        QCOMPARE(paths, listed);
        QCOMPARE(parseManifest(manifestText(r.stamped()), t, "x").size(), listed.size()); // the uninstaller takes it
    }

    void recordMergesWithEarlierInstallation()
    {
        const QString t = tmp.filePath("merge");
        writeFile(t + "/a.txt", "first");
        writeFile(t + "/old.txt", "only the first installation");
        InstallRecord first;
        first.setTarget(t);
        first.addBelowTarget("a.txt");
        first.addBelowTarget("old.txt");
        first.addBelowTarget("gone.txt");
        writeFile(t + "/gone.txt", "removed by the user later");
        const Manifest earlier = first.stamped();
        QCOMPARE(earlier.size(), 3);
        QFile::remove(t + "/gone.txt");
        writeFile(t + "/a.txt", "second, longer");
        writeFile(t + "/b.txt", "new");
        InstallRecord second;
        second.setTarget(t);
        second.addBelowTarget("a.txt");
        second.addBelowTarget("b.txt");
        const Manifest merged = second.stamped(earlier);
        QCOMPARE(merged.size(), 3);
        QCOMPARE(merged[0], earlier[1]); // old.txt keeps its stamp
        QCOMPARE(merged[1].path, "a.txt");
        QCOMPARE(merged[1].stamp.size, 14); // the new stamp
        QCOMPARE(merged[2].path, "b.txt");
    }

    // The uninstaller with a damaged list says so and removes nothing.
    void damagedListRemovesNothing_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QString>("why");
        QByteArray good = manifestText({file("TVODEMO.EXE", 3, 0), folder(".")});
        QTest::newRow("checksum") << good.replace("TVODEMO", "TVODEMX") << "suma kontrolna";
        QTest::newRow("missing") << QByteArray() << "Nie można odczytać";
    }
    void damagedListRemovesNothing()
    {
        QFETCH(QByteArray, list);
        QFETCH(QString, why);
        const QString t = installedFolder("damaged");
        QVERIFY(!t.isEmpty());
        if (!list.isEmpty())
            writeFile(t + "/ODINSTALUJ.LST", list);
        QProcess p;
        startWithoutDisplay(p, t, {"--yes"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 3);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains(why) && err.contains("Nic nie zostało usunięte."), qPrintable(err));
        QVERIFY(QFileInfo::exists(t + "/TVODEMO.EXE"));
        QVERIFY(QFileInfo::exists(t + "/ODINSTALUJ.EXE"));
        QCOMPARE(QFileInfo::exists(t + "/ODINSTALUJ.LST"), !list.isEmpty());
    }

    // Without a display the uninstaller asks on the terminal; only yes removes.
    void terminalQuestion_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("end of input") << QByteArray() << 4;
        QTest::newRow("no") << QByteArray("n\n") << 4;
        QTest::newRow("just Enter") << QByteArray("\n") << 4;
        QTest::newRow("yes") << QByteArray("Tak\n") << 0;
    }
    void terminalQuestion()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
#ifdef Q_OS_WIN
        QSKIP("Windows always has a display: the uninstaller asks in a box (the uninstaller's own tests)");
#endif
        const QString t = installedFolder("ask");
        QVERIFY(!t.isEmpty());
        InstallRecord r;
        r.setTarget(t);
        r.addCreatedFolders({t});
        r.addBelowTarget("TVODEMO.EXE");
        writeManifest(t + "/ODINSTALUJ.LST", r.stamped());
        QProcess p;
        startWithoutDisplay(p, t, {});
        QVERIFY(p.waitForStarted(10000));
        p.write(input);
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), exitCode);
        QVERIFY(p.readAllStandardOutput().contains("Czy usunąć program Tavro 2010 DEMO z katalogu " + t.toUtf8()));
        QCOMPARE(QFileInfo::exists(t), exitCode != 0); // all of it, or nothing
        if (exitCode != 0)
            QVERIFY(QFileInfo::exists(t + "/TVODEMO.EXE") && QFileInfo::exists(t + "/ODINSTALUJ.LST"));
    }

    void usageError()
    {
        QProcess p;
        p.start(TVO_SETUP, {"--uninstall", "--tak"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains("--tak"));
    }
};

QTEST_GUILESS_MAIN(TestManifest)
#include "tst_Manifest.moc"
