// The installation run and its own files in the target folder: links at
// their names, a library or archive swapped in before use, a replaced name at
// the clean-up, and failures that must leave no temporary file behind.
#include "installtraces.h"
#include "Payload.h"
#include "desktop.h"
#include "drives.h"
#include "hostfixtures.h"
#include "installfixtures.h"
#include "smalldisk.h"
#include "tempfile.h"
#include "ui_uInstDemo.h"

#include <QLineEdit>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

// Windows: the installer holds its own files open, from their creation on,
// without leave for anyone to delete or rename them; a swap is refused and
// the run goes on with what it wrote.
#ifdef Q_OS_WIN
inline constexpr bool kHeldFilesCannotBeSwapped = true;
#else
inline constexpr bool kHeldFilesCannotBeSwapped = false;
#endif

class TestInstallSafety : public InstallTestBase {
    Q_OBJECT
    int refusedSwaps = 0;

    // Replaces the file at path by a copy of from through a rename, as
    // another program would; the copy keeps from's mode. Where the system
    // refuses the rename, that is counted.
    void swapIn(const QString &from, const QString &path)
    {
        const QString planted = host("target/planted");
        QFile::remove(planted);
        QVERIFY(QFile::copy(from, planted));
        if (renameOver(planted, path))
            return;
        QVERIFY(kHeldFilesCannotBeSwapped);
        ++refusedSwaps;
        QFile::remove(planted);
    }

    // Windows: the swap was refused and the run installed what it wrote.
    void verifySwapRefused(const Answers &a)
    {
        QCOMPARE(refusedSwaps, 1);
        QCOMPARE(a.asked, QStringList());
        QVERIFY(!App::terminated());
        QCOMPARE(readAll(host("target/a.txt")), QByteArray("abc"));
        QVERIFY(noEntry(host("target/TVO-DEMO.RAR")));
        QVERIFY(noEntry(host("target/TVOUNRAR.DLL")));
    }

    // Until the guard goes, the file the installer writes whose name ends in
    // suffix is swapped for a copy of from right after its writing; without
    // viaDescriptor the open files have no path under /proc.
    auto swapAfterWriting(const QString &suffix, const QString &from, bool viaDescriptor)
    {
        platform::setDescriptorFolderForTesting(viaDescriptor ? std::string() : host("no-proc").toStdString());
        SetWrittenHookForTesting([=, this](const QString &fileName) {
            if (fileName.endsWith(suffix))
                swapIn(from, platform::toHostPath(fileName));
        });
        return qScopeGuard([] {
            SetWrittenHookForTesting({});
            platform::setDescriptorFolderForTesting({});
        });
    }

    static void descriptorRows()
    {
        QTest::addColumn<bool>("viaDescriptor");
        QTest::newRow("through /proc") << true;
        if (!kHeldFilesCannotBeSwapped) // Windows: no path of an open file is used
            QTest::newRow("no /proc") << false;
    }

private slots:
    void initTestCase()
    {
        App::initModules();
        platform::setDriveRoot('D', tmp.path());
        writeFile(host("cfg/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"" + host("desk").toUtf8() + "\"\n");
        qputenv("XDG_CONFIG_HOME", host("cfg").toUtf8());
    }
    void init()
    {
        refusedSwaps = 0;
        App::resetTerminated();
        QDir(host("target")).removeRecursively();
    }
    void cleanupTestCase()
    {
        SetPayloadSourceForTesting({});
        removeInstallationTraces();
    }

    // Links at the temporary files' names, put there by whoever can write the
    // target folder: what they point at stays as it was, the installation
    // succeeds, and the links are gone (removed, never followed).
    void linksAtTemporaryNames()
    {
        makeInstaller(host("cd/setup"), archiveOf({{"a.txt", false, 0644, {}, "abc", {}, false}}));
        writeFile(host("outside/victim.txt"), "victim");
        writeFile(host("outside/victim.so"), "the user's library");
        Answers a;
        Wizard w;
        prepare(w, "cd/setup");
        if (!makeSymbolicLink(host("outside/victim.txt"), host("target/TVO-DEMO.RAR"), false))
            QSKIP(kNoLinksHere);
        QVERIFY(makeSymbolicLink(host("outside/victim.so"), host("target/TVOUNRAR.DLL"), false));
        w.RunInstallation();
        QCOMPARE(a.asked, QStringList());
        QVERIFY(!App::terminated());
        QCOMPARE(readAll(host("target/a.txt")), QByteArray("abc"));
        QCOMPARE(readAll(host("outside/victim.txt")), QByteArray("victim"));
        QCOMPARE(readAll(host("outside/victim.so")), QByteArray("the user's library"));
        QVERIFY(noEntry(host("target/TVO-DEMO.RAR")));
        QVERIFY(noEntry(host("target/TVOUNRAR.DLL")));
    }

    // Another valid library swapped in between the writing of the library
    // and its loading never runs: the run ends with the load error, and the
    // file put there is not the installer's to remove.
    void swappedLibraryNeverRuns_data() { descriptorRows(); }
    void swappedLibraryNeverRuns()
    {
        QFETCH(bool, viaDescriptor);
        makeInstaller(host("cd/setup"), archiveOf({{"a.txt", false, 0644, {}, "abc", {}, false}}));
        const QString marker = host("outside/marker");
        QFile::remove(marker);
        QDir().mkpath(host("outside"));
        qputenv("TVO_TEST_MARKER", marker.toUtf8());
        const auto unhook = swapAfterWriting("TVOUNRAR.DLL", TVO_EVIL_LIBRARY, viaDescriptor);
        Answers a;
        Wizard w;
        prepare(w, "cd/setup");
        w.RunInstallation();
        if (kHeldFilesCannotBeSwapped)
            return verifySwapRefused(a);
        QCOMPARE(a.asked, QStringList({"system:|Can't load DLL: D:\\target\\TVOUNRAR.DLL !"}));
        QVERIFY(App::terminated());
        QVERIFY(!QFileInfo::exists(marker));
        QCOMPARE(readAll(host("target/TVOUNRAR.DLL")), readAll(TVO_EVIL_LIBRARY));
        QVERIFY(noEntry(host("target/TVO-DEMO.RAR")));
        QVERIFY(noEntry(host("target/a.txt")));
    }

    // Another archive swapped in once the archive is written: the library
    // reads the file written, or, where the open file has no path, the run
    // refuses the name; the file put there stays.
    void swappedArchiveIsNotRead_data() { descriptorRows(); }
    void swappedArchiveIsNotRead()
    {
        QFETCH(bool, viaDescriptor);
        makeInstaller(host("cd/setup"), archiveOf({{"a.txt", false, 0644, {}, "abc", {}, false}}));
        const QByteArray planted = archiveOf({{"planted.txt", false, 0644, {}, "planted", {}, false}});
        writeFile(host("outside/planted.rar"), planted);
        const auto unhook = swapAfterWriting("TVO-DEMO.RAR", host("outside/planted.rar"), viaDescriptor);
        Answers a;
        Wizard w;
        prepare(w, "cd/setup");
        w.RunInstallation();
        QVERIFY(noEntry(host("target/planted.txt")));
        if (kHeldFilesCannotBeSwapped)
            return verifySwapRefused(a);
        QCOMPARE(readAll(host("target/TVO-DEMO.RAR")), planted);
        QVERIFY(noEntry(host("target/TVOUNRAR.DLL")));
        if (viaDescriptor) {
            QCOMPARE(a.asked, QStringList());
            QCOMPARE(readAll(host("target/a.txt")), QByteArray("abc"));
        } else {
            QCOMPARE(a.asked, QStringList({"system:|Cannot open file !"}));
            QVERIFY(App::terminated());
        }
    }

    // The archive's name taken by another file during the extraction: the
    // clean-up leaves that file alone.
    void cleanUpLeavesAReplacedName()
    {
        QList<RarEntry> entries;
        for (int i = 0; i < 5; ++i)
            entries.append({QString("f%1.txt").arg(i), false, 0644, {}, QByteArray(100, 'x'), {}, false});
        makeInstaller(host("cd/setup"), archiveOf(entries));
        Answers a;
        Wizard w;
        prepare(w, "cd/setup");
        writeFile(host("outside/theirs"), "someone else's");
        auto swapper = new QTimer(&w);
        QObject::connect(swapper, &QTimer::timeout, [&] {
            swapper->stop();
            swapIn(host("outside/theirs"), host("target/TVO-DEMO.RAR"));
        });
        swapper->start(0);
        w.RunInstallation();
        QCOMPARE(a.asked, QStringList());
        QVERIFY(!swapper->isActive());
        QVERIFY(QFileInfo::exists(host("target/f4.txt")));
        if (kHeldFilesCannotBeSwapped) {
            QCOMPARE(refusedSwaps, 1);
            QVERIFY(noEntry(host("target/TVO-DEMO.RAR")));
        } else {
            QCOMPARE(readAll(host("target/TVO-DEMO.RAR")), QByteArray("someone else's"));
        }
        QVERIFY(noEntry(host("target/TVOUNRAR.DLL")));
    }

    // Once created, each temporary file is removed on every way out, before
    // and after the library is loaded; a full disk is given back.
    void failuresLeaveNoTemporaryFile_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<qint64>("diskSize"); // a tmpfs as the target's drive; 0: none
        QTest::addColumn<QString>("message");
        QTest::newRow("library resource fails its check")
            << "UNRAR_DLL" << qint64(0)
            << "Plik instalatora jest uszkodzony:\rD:\\cd\\setup\rDane UNRAR_DLL mają błędną sumę kontrolną.\r"
               "Pobierz instalator ponownie.";
        QTest::newRow("library that does not load") << "not a library" << qint64(0)
                                                    << "Can't load DLL: D:\\target\\TVOUNRAR.DLL !";
        QTest::newRow("archive piece fails its check")
            << "TVODEMO_1" << qint64(0)
            << "Plik instalatora jest uszkodzony:\rD:\\cd\\setup\rDane TVODEMO_1 mają błędną sumę kontrolną.\r"
               "Pobierz instalator ponownie.";
        QTest::newRow("disk full during the library") << "" << qint64(128 * 1024) << "Stream write error";
        QTest::newRow("disk full during the archive")
            << "" << QFileInfo(kLibrary).size() + 64 * 1024 << "Stream write error";
    }
    void failuresLeaveNoTemporaryFile()
    {
        QFETCH(QString, fault);
        QFETCH(qint64, diskSize);
        QFETCH(QString, message);
        QByteArray big(300000, Qt::Uninitialized); // does not compress: the archive is this big
        for (char &c : big)
            c = char(QRandomGenerator::global()->generate());
        makeInstaller(host("cd/setup"), archiveOf({{"big.bin", false, 0644, {}, big, {}, false}}), true,
                      fault == "not a library" ? QByteArray("not a library") : QByteArray());
        if (fault.startsWith("UNRAR") || fault.startsWith("TVODEMO"))
            damageResource(host("cd/setup"), fault);
        std::unique_ptr<SmallDisk> disk;
        Answers a;
        Wizard w;
        prepare(w, "cd/setup");
        QString target = host("target");
        if (diskSize) {
            disk = std::make_unique<SmallDisk>(host("small"), diskSize);
            QVERIFY2(disk->mounted(), qPrintable(disk->error()));
            platform::setDriveRoot('E', host("small"));
            target = host("small/target");
            QVERIFY(QDir().mkpath(target));
            w.ui->edKatalog->setText("E:\\target\\");
        }
        const qint64 freeBefore = disk ? disk->freeBlocks() : 0;
        w.RunInstallation();
        QCOMPARE(a.asked.size(), 1);
        QVERIFY2(a.asked.first().startsWith("system:|") && a.asked.first().contains(message),
                 qPrintable(a.asked.first()));
        QVERIFY(App::terminated());
        QCOMPARE(QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System),
                 QStringList());
        if (disk)
            QCOMPARE(disk->freeBlocks(), freeBefore);
    }
};

QTEST_MAIN(TestInstallSafety)
#include "tst_installsafety.moc"
