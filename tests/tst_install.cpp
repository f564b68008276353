// The wizard's target-folder check and installation run on real files: an
// installer file with a payload, and one with a TVO-DEMO folder beside it.
#include "AppCore.h"
#include "Gauges.h"
#include "Manifest.h"
#include "Payload.h"
#include "RarWriter.h"
#include "drives.h"
#include "okienko.h"
#include "dynlib.h"
#include "resstore.h"
#include "smalldisk.h"
#include "tempfile.h"
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *kLibrary = TVO_UNRAR_LIBRARY; // the system's unrar library, found by the build

// Every message box answered by a script; what was asked is kept.
struct Answers {
    QStringList asked;
    QList<int> script; // answers in order; 1 after the script ends
    Answers()
    {
        SetMsgAnswerProvider([this](TMsgOkienko &d) {
            asked << d.windowTitle() + "|" + d.lbl->text();
            return script.isEmpty() ? 1 : script.takeFirst();
        });
        App::setSystemBoxHook([this](const QString &c, const QString &t) { asked << "system:" + c + "|" + t; });
    }
    ~Answers()
    {
        SetMsgAnswerProvider({});
        App::setSystemBoxHook({});
    }
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray archiveOf(const QList<RarEntry> &entries)
{
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    RarWriter w;
    w.open(&buf);
    for (const RarEntry &e : entries)
        w.add(e);
    w.finish();
    return buf.data();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Neither the name nor a link of that name is there.
bool noEntry(const QString &path) { return !QFileInfo::exists(path) && !QFileInfo(path).isSymLink(); }

// A plain program file with the library (the system's, or the bytes given)
// and the archive appended.
void makeInstaller(const QString &path, const QByteArray &archive, bool withLibrary = true,
                   const QByteArray &libraryBytes = {})
{
    QFile::remove(path);
    QDir().mkpath(QFileInfo(path).path());
    QVERIFY(QFile::copy("/bin/true", path));
    const int fd = ::open(path.toUtf8().constData(), O_WRONLY);
    QVERIFY(fd >= 0);
    ::lseek(fd, 0, SEEK_END);
    platform::ResourceStoreWriter store(fd);
    if (withLibrary && !libraryBytes.isEmpty()) {
        QVERIFY(store.addBytes(10, "UNRAR_DLL", libraryBytes.constData(), std::size_t(libraryBytes.size())));
    } else if (withLibrary) {
        const int lib = ::open(kLibrary, O_RDONLY);
        QVERIFY(lib >= 0);
        QVERIFY(store.addFromFile(10, "UNRAR_DLL", lib, 0, std::uint64_t(QFileInfo(kLibrary).size())));
        ::close(lib);
    }
    const int piece = 700; // small pieces, joined again by the installer
    for (int i = 0; i * piece < archive.size(); ++i)
        {
        const QByteArray bytes = archive.mid(i * piece, piece);
        QVERIFY(store.addBytes(10, "TVODEMO_" + std::to_string(i), bytes.constData(), std::size_t(bytes.size())));
    }
    QVERIFY(store.finish());
    ::close(fd);
}

// Flips a byte inside a stored resource, so that it fails its check.
void damageResource(const QString &installer, const QString &name)
{
    platform::ResourceStore store;
    QCOMPARE(store.open(installer.toStdString()), platform::ResourceStore::Valid);
    const platform::StoredResource *res = store.find(10, name.toStdString());
    QVERIFY(res);
    const qint64 at = qint64(res->offset + res->size / 2);
    store.close();
    QFile f(installer);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(at));
    char c = 0;
    QVERIFY(f.getChar(&c));
    QVERIFY(f.seek(at));
    QVERIFY(f.putChar(char(c ^ 0x5A)));
}

class Wizard : public TForm1 {
public:
    using TForm1::RunInstallation;
    using TForm1::ValidateTargetFolder;
};

} // namespace

class TestInstall : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    QString desktop;

    QString host(const QString &rel) const { return tmp.path() + "/" + rel; }

    // A wizard that installs from the given installer file into D:\target\.
    void prepare(Wizard &w, const QString &installer)
    {
        SetPayloadSourceForTesting(host(installer));
        w.ui->edKatalog->setText("D:\\target\\");
        QDir().mkpath(host("target"));
    }

private slots:
    void initTestCase()
    {
        App::initModules();
        platform::setDriveRoot('D', tmp.path());
        desktop = host("desk");
        writeFile(host("cfg/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"" + desktop.toUtf8() + "\"\n");
        qputenv("XDG_CONFIG_HOME", host("cfg").toUtf8());
        qputenv("XDG_DATA_HOME", host("data").toUtf8());
    }
    void init()
    {
        App::resetTerminated();
        QDir(host("target")).removeRecursively();
        QDir(desktop).removeRecursively();
        QDir(host("data")).removeRecursively();
    }
    void cleanupTestCase() { SetPayloadSourceForTesting({}); }

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
        QFile entry(desktop + "/Tavro 2010 DEMO.desktop");
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY(text.contains("Exec=" + host("target/TVODEMO.EXE") + " katCD=" + host("cd")));
        QVERIFY(text.contains("Path=" + host("target")));
        QCOMPARE(w.installedProgramCommand(),
                 QStringList({host("target/TVODEMO.EXE"), "katCD=" + host("cd")}));
        QVERIFY(text.contains("\nIcon=pl.tavro.Tavro2010Demo\n"));
        // The uninstaller and its list: every file, the entries and the icons.
        QVERIFY(QFileInfo(host("target/ODINSTALUJ.EXE")).isExecutable());
        QStringList files, folders;
        for (const ManifestEntry &e : readManifest(host("target/ODINSTALUJ.LST")))
            (e.stamp.kind == platform::FileStamp::Folder ? folders : files) << e.path;
        QStringList expected{"BAZA/ceny.dbf", "TVODEMO.EXE", "czytaj.txt", desktop + "/Tavro 2010 DEMO.desktop"};
        for (const int size : {48, 64, 128, 256})
            expected << QString("%1/icons/hicolor/%2x%2/apps/pl.tavro.Tavro2010Demo.png").arg(host("data")).arg(size);
        expected << host("data/applications/pl.tavro.Tavro2010Demo.desktop");
        QCOMPARE(files, expected);
        // The folders it made: the archive's, the desktop folder, the data folders.
        for (const QString &f : {QString("BAZA"), desktop, host("data"), host("data/icons/hicolor/48x48/apps")})
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
        QVERIFY(!QFileInfo::exists(desktop + "/Tavro 2010 DEMO.desktop"));
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
        QVERIFY(QFile::link(host("outside/victim.txt"), host("target/TVO-DEMO.RAR")));
        QVERIFY(QFile::link(host("outside/victim.so"), host("target/TVOUNRAR.DLL")));
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
    void swappedLibraryNeverRuns_data()
    {
        QTest::addColumn<bool>("viaDescriptor");
        QTest::newRow("through /proc") << true;
        QTest::newRow("no /proc") << false;
    }
    void swappedLibraryNeverRuns()
    {
        QFETCH(bool, viaDescriptor);
        makeInstaller(host("cd/setup"), archiveOf({{"a.txt", false, 0644, {}, "abc", {}, false}}));
        const QString marker = host("outside/marker");
        QFile::remove(marker);
        QDir().mkpath(host("outside"));
        qputenv("TVO_TEST_MARKER", marker.toUtf8());
        platform::setDescriptorFolderForTesting(viaDescriptor ? std::string() : host("no-proc").toStdString());
        SetWrittenHookForTesting([&](const QString &fileName) {
            if (!fileName.endsWith("TVOUNRAR.DLL"))
                return;
            QVERIFY(QFile::copy(TVO_EVIL_LIBRARY, host("target/planted.so")));
            QVERIFY(std::rename(host("target/planted.so").toUtf8().constData(), platform::toHostPath(fileName).toUtf8().constData()) == 0);
        });
        const auto unhook = qScopeGuard([] {
            SetWrittenHookForTesting({});
            platform::setDescriptorFolderForTesting({});
        });
        Answers a;
        Wizard w;
        prepare(w, "cd/setup");
        w.RunInstallation();
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
    void swappedArchiveIsNotRead_data()
    {
        QTest::addColumn<bool>("viaDescriptor");
        QTest::newRow("through /proc") << true;
        QTest::newRow("no /proc") << false;
    }
    void swappedArchiveIsNotRead()
    {
        QFETCH(bool, viaDescriptor);
        makeInstaller(host("cd/setup"), archiveOf({{"a.txt", false, 0644, {}, "abc", {}, false}}));
        const QByteArray planted = archiveOf({{"planted.txt", false, 0644, {}, "planted", {}, false}});
        platform::setDescriptorFolderForTesting(viaDescriptor ? std::string() : host("no-proc").toStdString());
        SetWrittenHookForTesting([&](const QString &fileName) {
            if (!fileName.endsWith("TVO-DEMO.RAR"))
                return;
            writeFile(host("target/planted.rar"), planted);
            QVERIFY(std::rename(host("target/planted.rar").toUtf8().constData(),
                                platform::toHostPath(fileName).toUtf8().constData()) == 0);
        });
        const auto unhook = qScopeGuard([] {
            SetWrittenHookForTesting({});
            platform::setDescriptorFolderForTesting({});
        });
        Answers a;
        Wizard w;
        prepare(w, "cd/setup");
        w.RunInstallation();
        QVERIFY(noEntry(host("target/planted.txt")));
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
        auto swapper = new QTimer(&w);
        QObject::connect(swapper, &QTimer::timeout, [&] {
            swapper->stop();
            writeFile(host("target/theirs"), "someone else's");
            QVERIFY(std::rename(host("target/theirs").toUtf8().constData(), host("target/TVO-DEMO.RAR").toUtf8().constData()) == 0);
        });
        swapper->start(0);
        w.RunInstallation();
        QCOMPARE(a.asked, QStringList());
        QVERIFY(!swapper->isActive());
        QVERIFY(QFileInfo::exists(host("target/f4.txt")));
        QCOMPARE(readAll(host("target/TVO-DEMO.RAR")), QByteArray("someone else's"));
        QVERIFY(noEntry(host("target/TVOUNRAR.DLL")));
    }

    // Once created, each temporary file is removed on every way out, before
    // and after the library is loaded; a full disk is given back.
    void failuresLeaveNoTemporaryFile_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<qint64>("diskSize"); // a tmpfs as the target's drive; 0: none
        QTest::addColumn<QString>("message");
        QTest::newRow("library resource fails its check") << "UNRAR_DLL" << qint64(0) << "damaged";
        QTest::newRow("library that does not load") << "not a library" << qint64(0)
                                                    << "Can't load DLL: D:\\target\\TVOUNRAR.DLL !";
        QTest::newRow("archive piece fails its check") << "TVODEMO_1" << qint64(0) << "damaged";
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
        QVERIFY(QFileInfo::exists(desktop + "/Tavro 2010 DEMO.desktop"));
    }

    void copiesNamesThatAreNotUtf8()
    {
        // Names written in another code page (cp1250) or holding 0xFF are
        // copied byte for byte, folders with everything under them.
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
