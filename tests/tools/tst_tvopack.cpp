// The packer as its users run it: a separate process, its output files, its
// exit code and its messages.
#include "pefixtures.h"
#include "resstore.h"
#include "tvopackrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

using namespace tvopacktest;

namespace {
const QString kLibrary = QStringLiteral(TVO_UNRAR_LIBRARY);

QString crcText(const QByteArray &b)
{
    return QStringLiteral("%1").arg(platform::crc32(0, b.constData(), std::size_t(b.size())), 8, 16, QLatin1Char('0'));
}
} // namespace

class TestTvoPack : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    QString plain;

    QString path(const QString &name) const { return tmp.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        plain = path(QStringLiteral("plain"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), plain));
    }

    // Pieces of the given size, the last one the remainder, compressed unless
    // asked not to, and a listing and an unpacked copy that match what went in.
    void roundTrip_data()
    {
        QTest::addColumn<int>("archiveSize");
        QTest::addColumn<int>("pieceSize"); // 0: the default
        QTest::addColumn<bool>("compress");
        QTest::addColumn<QList<int>>("pieces");
        QTest::newRow("default size") << 2500000 << 0 << true << QList<int> {1000000, 1000000, 500000};
        QTest::newRow("default size, not compressed") << 2500000 << 0 << false << QList<int> {1000000, 1000000, 500000};
        QTest::newRow("exact multiple") << 3000 << 1000 << true << QList<int> {1000, 1000, 1000};
        QTest::newRow("one byte pieces") << 9 << 1 << true << QList<int>(9, 1);
        QTest::newRow("just the signature") << 7 << 0 << true << QList<int> {7};
        QTest::newRow("smaller than a piece") << 10 << 1000000 << false << QList<int> {10};
    }
    void roundTrip()
    {
        QFETCH(int, archiveSize);
        QFETCH(int, pieceSize);
        QFETCH(bool, compress);
        QFETCH(QList<int>, pieces);
        const QByteArray lib = readFile(kLibrary), arc = rarLike(archiveSize, 2);
        QVERIFY(writeFile(path("a.rar"), arc));
        const QString out = path("rt/setup");
        QDir(tmp.path()).mkpath("rt");
        QStringList args {"--library", kLibrary, "--archive", path("a.rar")};
        if (pieceSize)
            args << "--piece-size" << QString::number(pieceSize);
        if (!compress)
            args << "--no-compress";
        const Run r = pack(args << plain << out);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(QFileInfo(out).isExecutable());
        QCOMPARE(QDir(path("rt")).entryList(QDir::Files), QStringList {"setup"}); // no temporary left

        // name, type, method, size and CRC of the uncompressed bytes; the
        // stored size is checked against the method.
        QList<QByteArray> originals {lib};
        QStringList expected {QStringLiteral("UNRAR_DLL 10 %1 %2").arg(lib.size()).arg(crcText(lib))};
        qsizetype off = 0;
        for (int i = 0; i < pieces.size(); ++i) {
            const QByteArray piece = arc.mid(off, pieces[i]);
            originals << piece;
            expected << QStringLiteral("TVODEMO_%1 10 %2 %3").arg(i).arg(piece.size()).arg(crcText(piece));
            off += pieces[i];
        }
        const Run list = pack({"--list", out});
        QCOMPARE(list.code, 0);
        QStringList lines = list.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty() && lines.takeFirst().startsWith("resource"));
        QStringList shown;
        for (int i = 0; i < lines.size(); ++i) {
            const QStringList f = lines[i].simplified().split(' ');
            QCOMPARE(f.size(), 6);
            const qint64 stored = f[3].toLongLong(), size = f[4].toLongLong();
            // Compression keeps the stored form when it would not be smaller.
            if (compress && size > 1000)
                QCOMPARE(f[2], QStringLiteral("zstd"));
            if (f[2] == QLatin1String("zstd"))
                QVERIFY2(compress && stored < size, qPrintable(lines[i]));
            else
                QVERIFY2(f[2] == QLatin1String("stored") && stored == size, qPrintable(lines[i]));
            shown << QStringList {f[0], f[1], f[4], f[5]}.join(' ');
        }
        QCOMPARE(shown, expected);

        const QString dir = path("rt/unpacked");
        QCOMPARE(pack({"--unpack", out, dir}).code, 0);
        QVERIFY(readFile(dir + "/UNRAR_DLL") == lib);
        QByteArray joined;
        for (int i = 0; i < pieces.size(); ++i) {
            const QByteArray piece = readFile(dir + QStringLiteral("/TVODEMO_%1").arg(i));
            QCOMPARE(piece.size(), pieces[i]);
            joined += piece;
        }
        QVERIFY(joined == arc);
        QDir(path("rt")).removeRecursively();
    }

    // The archive made from a folder keeps the program executable and unpacks
    // with the system's own unrar.
    void folderArchive()
    {
        const QString src = path("src");
        QDir().mkpath(src + "/Dane/Cenniki");
        QVERIFY(writeFile(src + "/TVODEMO.EXE", "#!/bin/sh\necho demo\n"));
        QFile::setPermissions(src + "/TVODEMO.EXE", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(writeFile(src + "/Dane/Cenniki/poz001.txt", pattern(5000, 3)));
        const QString out = path("fsetup");
        const Run r = pack({"--folder", src, "--piece-size", "700", plain, out});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(pack({"--unpack", out, path("fun")}).code == 0);
        QByteArray rar;
        for (int i = 0; QFile::exists(path("fun/TVODEMO_%1").arg(i)); ++i)
            rar += readFile(path("fun/TVODEMO_%1").arg(i));
        QCOMPARE(rar.left(7), kRarSignature);
        QVERIFY(writeFile(path("f.rar"), rar));

        const QString unrar = QStandardPaths::findExecutable(QStringLiteral("unrar"));
        QVERIFY2(!unrar.isEmpty(), "the unrar program is needed to check the archive");
        QDir().mkpath(path("fx"));
        QProcess x;
        x.setWorkingDirectory(path("fx"));
        x.start(unrar, {"x", "-inul", path("f.rar")});
        QVERIFY(x.waitForFinished(30000));
        QCOMPARE(x.exitCode(), 0);
        QVERIFY(QFileInfo(path("fx/TVODEMO.EXE")).isExecutable());
        QVERIFY(readFile(path("fx/Dane/Cenniki/poz001.txt")) == pattern(5000, 3));
    }

    // Inputs the installer could not use: made from the real library by
    // changing what the checks look at.
    void makeInputs()
    {
        const QByteArray lib = readFile(kLibrary);
        QVERIFY(lib.size() > 4096 && lib.startsWith("\x7F" "ELF"));
        auto patched = [&](int at, QByteArray bytes) { return QByteArray(lib).replace(at, bytes.size(), bytes); };
        QVERIFY(writeFile(path("lib"), lib));
        QVERIFY(writeFile(path("exec"), patched(16, QByteArray("\x02\x00", 2))));   // e_type: executable
        QVERIFY(writeFile(path("arm"), patched(18, QByteArray("\xB7\x00", 2))));    // e_machine: AArch64
        QVERIFY(writeFile(path("elf32"), patched(4, QByteArray("\x01", 1))));        // 32-bit class
        QVERIFY(writeFile(path("nosyms"), QByteArray(lib).replace("RARProcessFile", "RARProcessFilX")));
        QVERIFY(writeFile(path("libcut"), lib.left(64)));
        QVERIFY(writeFile(path("text"), "library bytes"));
        QVERIFY(writeFile(path("empty"), {}));
        QVERIFY(writeFile(path("rar"), rarLike(5000, 4)));
        QVERIFY(writeFile(path("rar800k"), rarLike(800000, 4)));
    }

    // "@name" in an argument is a file in the test folder. A failed run says
    // why, exits non-zero and leaves an existing OUTPUT as it was.
    void errors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no arguments") << QStringList {} << "give INPUT and OUTPUT";
        QTest::newRow("missing input") << QStringList {"--library", "@lib", "@nope", "@out"} << "cannot read input";
        QTest::newRow("input is a folder") << QStringList {"--library", "@lib", "@dir", "@out"} << "cannot read";
        QTest::newRow("missing library") << QStringList {"--library", "@nope", "@plain", "@out"} << "cannot read library";
        QTest::newRow("missing archive") << QStringList {"--archive", "@nope", "@plain", "@out"} << "cannot read archive";
        QTest::newRow("missing folder") << QStringList {"--folder", "@nope", "@plain", "@out"} << "cannot read folder";
        QTest::newRow("unwritable output") << QStringList {"--library", "@lib", "@plain", "@nodir/out"} << "cannot write";
        QTest::newRow("piece size 0") << QStringList {"--archive", "@rar", "--piece-size", "0", "@plain", "@out"}
                                      << "piece size";
        QTest::newRow("negative piece size") << QStringList {"--archive", "@rar", "--piece-size", "-5", "@plain", "@out"}
                                             << "piece size";
        QTest::newRow("piece size not a number")
            << QStringList {"--archive", "@rar", "--piece-size", "1e6", "@plain", "@out"} << "piece size";
        QTest::newRow("option without value") << QStringList {"@plain", "@out", "--library"} << "needs a value";
        QTest::newRow("archive and folder") << QStringList {"--archive", "@rar", "--folder", "@dir", "@plain", "@out"}
                                            << "not both";
        QTest::newRow("nothing to attach") << QStringList {"@plain", "@out"} << "nothing to attach";
        QTest::newRow("input already packed") << QStringList {"--library", "@lib", "@packed", "@out"} << "already carries";
        QTest::newRow("input damaged") << QStringList {"--library", "@lib", "@trunc", "@out"} << "damaged";
        QTest::newRow("archive not RAR") << QStringList {"--library", "@lib", "--archive", "@text", "@plain", "@out"}
                                         << "is not a RAR archive";
        QTest::newRow("empty archive") << QStringList {"--library", "@lib", "--archive", "@empty", "@plain", "@out"}
                                       << "is not a RAR archive";
        QTest::newRow("library not ELF") << QStringList {"--library", "@text", "@plain", "@out"}
                                         << "is not an ELF shared library";
        QTest::newRow("library an executable") << QStringList {"--library", "@exec", "@plain", "@out"}
                                               << "is an ELF file but not a shared library";
        QTest::newRow("library for another machine") << QStringList {"--library", "@arm", "@plain", "@out"}
                                                     << "is built for 64-bit AArch64, the installer";
        QTest::newRow("library of 32 bits") << QStringList {"--library", "@elf32", "@plain", "@out"}
                                            << "is built for 32-bit x86-64";
        QTest::newRow("library without an entry point") << QStringList {"--library", "@nosyms", "@plain", "@out"}
                                                        << "does not export RARProcessFile";
        QTest::newRow("library cut short") << QStringList {"--library", "@libcut", "@plain", "@out"}
                                           << "no readable dynamic symbol table";
        QTest::newRow("more pieces than the index holds")
            << QStringList {"--library", "@lib", "--archive", "@rar800k", "--piece-size", "1", "@plain", "@out"}
            << "give a larger --piece-size";
        QTest::newRow("list a plain file") << QStringList {"--list", "@plain"} << "carries no resources";
        QTest::newRow("list a missing file") << QStringList {"--list", "@nope"} << "cannot read";
        QTest::newRow("list a truncated file") << QStringList {"--list", "@trunc"} << "damaged";
        QTest::newRow("list two files") << QStringList {"--list", "@plain", "@packed"} << "--list takes one FILE";
        QTest::newRow("unpack a truncated file") << QStringList {"--unpack", "@trunc", "@dir/u"} << "damaged";
        QTest::newRow("unpack a flipped byte") << QStringList {"--unpack", "@flipped", "@dir/u"} << "CRC";
        QTest::newRow("unpack an escaping name") << QStringList {"--unpack", "@evil", "@dir/u"} << "unsafe";
    }
    void errors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QDir().mkpath(path("dir"));
        QVERIFY(writeFile(path("out"), "old"));
        if (!QFile::exists(path("packed"))) {
            makeInputs();
            QCOMPARE(pack({"--library", path("lib"), "--archive", path("rar"), plain, path("packed")}).code, 0);
            QFile::copy(path("packed"), path("trunc"));
            QFile::resize(path("trunc"), QFileInfo(path("trunc")).size() - 3);
            QFile::copy(path("packed"), path("flipped"));
            QFile f(path("flipped"));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(QFileInfo(plain).size() + 2)); // inside UNRAR_DLL
            f.putChar('#');
            f.close();
            QFile::copy(plain, path("evil"));
            const int fd = ::open(QFile::encodeName(path("evil")).constData(), O_WRONLY | O_APPEND);
            platform::ResourceStoreWriter w(fd);
            QVERIFY(w.addBytes(platform::kRawDataResource, "../escaped", "x", 1) && w.finish());
            ::close(fd);
        }
        for (QString &a : args)
            if (a.startsWith('@'))
                a = path(a.mid(1));

        const Run r = pack(args);
        QVERIFY2(r.code > 0, qPrintable(r.err));
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(readFile(path("out")), QByteArray("old"));
        QVERIFY(!QFile::exists(path("escaped")) && !QFile::exists(path("dir/escaped")));
        const QStringList leftovers = QDir(tmp.path()).entryList({"out.*"}, QDir::Files);
        QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(' ')));
    }
    // A Windows installer takes a Windows DLL of its machine type that exports
    // the entry points, read from the file; a Linux library with a Windows
    // installer, or the other way round, is refused. "@name" is a file in the
    // test folder, "%name" one of the Windows fixtures.
    void windowsInstaller_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("message"); // empty: packed
        QTest::newRow("Windows program and DLL") << "%program.exe" << "%unrar.dll" << "";
        QTest::newRow("with its symbol table") << "%program-symbols.exe" << "%unrar.dll" << "";
        QTest::newRow("signed Windows program") << "@signed.exe" << "%unrar.dll" << "is signed";
        QTest::newRow("Windows program, Linux library") << "%program.exe" << "@lib" << "is an ELF file, the installer";
        QTest::newRow("Linux program, Windows DLL") << "@plain" << "%unrar.dll" << "is a Windows (PE) file, the installer";
        QTest::newRow("a program as the library") << "%program.exe" << "%program.exe" << "is a Windows (PE) file but not a DLL";
        QTest::newRow("not a DLL at all") << "%program.exe" << "@text" << "is not a Windows DLL";
        QTest::newRow("DLL for another machine") << "%program.exe" << "@arm.dll" << "is built for 64-bit AArch64, the installer";
        QTest::newRow("DLL without RAROpenArchive (but its Ex)") << "%program.exe" << "@noopen.dll"
                                                                 << "does not export RAROpenArchive:";
        QTest::newRow("DLL without RARProcessFileW") << "%program.exe" << "@nowide.dll" << "does not export RARProcessFileW";
        QTest::newRow("DLL cut after its headers") << "%program.exe" << "@cut.dll" << "no readable export table";
        QTest::newRow("export table outside the file") << "%program.exe" << "@farexports.dll" << "no readable export table";
        QTest::newRow("Windows program cut short") << "@cut.exe" << "%unrar.dll" << "shorter than its own program image";
        QTest::newRow("neither ELF nor PE") << "@text" << "%unrar.dll" << "neither an ELF program nor a Windows";
        QTest::newRow("a DLL as the installer") << "%unrar.dll" << "%unrar.dll" << "is a Windows DLL, not a program";
    }
    void windowsInstaller()
    {
        if (!pefixtures::kHaveFixtures)
            QSKIP("MinGW-w64 was not found: no Windows fixtures");
        using namespace pefixtures;
        QFETCH(QString, input);
        QFETCH(QString, library);
        QFETCH(QString, message);
        if (!QFile::exists(path("nowide.dll"))) {
            makeInputs();
            const QByteArray dll = fixture("unrar.dll"), exe = fixture("program.exe");
            QVERIFY(dll.startsWith("MZ") && exe.startsWith("MZ"));
            QByteArray arm = dll;
            put16(arm, ntHeaders(arm) + 4, 0xAA64);
            QByteArray far = dll;
            put32(far, directory(far, 0), 0x7FFFFFF0);
            QVERIFY(writeFile(path("arm.dll"), arm) && writeFile(path("farexports.dll"), far));
            QVERIFY(writeFile(path("noopen.dll"), QByteArray(dll).replace(QByteArray("RAROpenArchive\0", 15),
                                                                        QByteArray("RAROpenArchivX\0", 15))));
            QVERIFY(writeFile(path("nowide.dll"), QByteArray(dll).replace("RARProcessFileW", "RARProcessFileX")));
            QVERIFY(writeFile(path("cut.dll"), dll.left(sectionTable(dll) + 40 * sectionCount(dll))));
            QVERIFY(writeFile(path("cut.exe"), exe.left(exe.size() - 100)));
            QVERIFY(writeFile(path("signed.exe"), signedCopy(exe)));
        }
        const auto resolve = [this](const QString &a) {
            return a.startsWith('%') ? fixturePath(a.mid(1)) : path(a.mid(1));
        };
        const QString out = path("setup.exe");
        QFile::remove(out);
        const Run r = pack({"--library", resolve(library), "--archive", path("rar"), resolve(input), out});
        if (!message.isEmpty()) {
            QVERIFY2(r.code == 1 && r.err.contains(message), qPrintable(r.err));
            QVERIFY(!QFile::exists(out));
            return;
        }
        QVERIFY2(r.code == 0, qPrintable(r.err));
        // The program unchanged, then the store, which the reader finds after
        // the image the PE headers give.
        const QByteArray program = readFile(resolve(input)), packed = readFile(out);
        QVERIFY(packed.startsWith(program));
        platform::ResourceStore store;
        QCOMPARE(store.open(QFile::encodeName(out).toStdString()), platform::ResourceStore::Valid);
        QVERIFY(store.find(platform::kRawDataResource, "UNRAR_DLL") && store.find(platform::kRawDataResource, "TVODEMO_0"));
        const int fd = ::open(QFile::encodeName(out).constData(), O_RDONLY);
        const std::int64_t image = platform::imageLength(fd);
        ::close(fd);
        QCOMPARE(image, std::int64_t(program.size()));
    }

    // A folder with names Windows cannot hold: packed, with a warning for
    // each when the installer is a Windows program, none for a Linux one.
    void windowsNamesWarned()
    {
        if (!pefixtures::kHaveFixtures)
            QSKIP("MinGW-w64 was not found: no Windows fixtures");
        const QString dir = path("names");
        QDir().mkpath(dir + "/Dane/CON");
        for (const char *name : {"Dane/CON/a.txt", "aux.txt", "a?b", "x.", "Plik.txt", "plik.TXT", "dobry.txt"})
            QVERIFY(writeFile(dir + '/' + name, "x"));
        const QStringList warned{"Dane/CON", "aux.txt", "a?b", "x.", "Plik.txt and plik.TXT"};
        for (const QString &input : {pefixtures::fixturePath("program.exe"), plain}) {
            const bool windows = input.endsWith(".exe");
            const QString out = path("names.out");
            QFile::remove(out);
            const Run r = pack({"--library", windows ? pefixtures::fixturePath("unrar.dll") : kLibrary, "--folder", dir,
                                input, out});
            QVERIFY2(r.code == 0, qPrintable(r.err));
            for (const QString &name : warned)
                QVERIFY2(r.err.contains("warning: " + name) == windows, qPrintable(name + ": " + r.err));
            QVERIFY(!r.err.contains("dobry"));
        }
    }
};

QTEST_GUILESS_MAIN(TestTvoPack)
#include "tst_tvopack.moc"
