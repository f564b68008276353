#include "AppCore.h"
#include "Payload.h"
#include "drives.h"
#include "hostfixtures.h"
#include "plainprogram.h"
#include "resstore.h"
#include "smalldisk.h"
#include "tempfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using platform::kRawDataResource;

namespace {
const QByteArray kRarSignature("Rar!\x1A\x07\x00", 7);

// Bytes of piece n: the archive signature at the start of piece 0, then a
// pattern that differs from piece to piece.
QByteArray pieceBytes(int n, int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + n * 31) & 0xFF);
    if (n == 0)
        b.replace(0, kRarSignature.size(), kRarSignature);
    return b;
}

struct Res {
    QString name;
    QByteArray bytes;
    quint32 type = kRawDataResource;
};
} // namespace
Q_DECLARE_METATYPE(Res)

class TestPayload : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    QString host(const QString &name) const { return tmp.filePath(name); }

    // A plain program file with the resources appended, as the packer makes
    // it.
    QString makeInstaller(const QList<Res> &resources, const QString &name = QStringLiteral("setup"), int level = 0)
    {
        const QString path = host(name);
        platform::FileHandle f = newInstallerFile(path);
        if (!f.isOpen())
            qFatal("cannot copy the plain program");
        SetPayloadSourceForTesting(path);
        if (resources.isEmpty())
            return path;
        platform::ResourceStoreWriter w(f.get());
        w.setCompressionLevel(level);
        for (const Res &r : resources)
            if (!w.addBytes(r.type, r.name.toStdString(), r.bytes.constData(), std::size_t(r.bytes.size())))
                qFatal("addBytes failed");
        if (!w.finish() || !f.close())
            qFatal("finish failed");
        return path;
    }

    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static void patchByte(const QString &path, qint64 offsetFromEnd)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(f.size() - offsetFromEnd);
        char c = 0;
        f.getChar(&c);
        f.seek(f.size() - offsetFromEnd);
        f.putChar(char(c ^ 0x5A));
    }

private slots:
    void initTestCase()
    {
        App::initModules();
        QVERIFY(tmp.isValid());
        platform::setDriveRoot('T', tmp.path());
    }

    void joinsPiecesInNumberOrder_data()
    {
        QTest::addColumn<QList<int>>("stored"); // piece numbers in store order
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<int>("joinedPieces"); // pieces 0..joinedPieces-1 make the file
        QTest::addColumn<qint64>("expectedSize");
        QTest::newRow("seven pieces") << QList<int> {0, 1, 2, 3, 4, 5, 6}
                                      << QList<int> {1000000, 1000000, 1000000, 1000000, 1000000, 1000000, 556953}
                                      << 7 << qint64(6556953);
        QTest::newRow("gap after piece 1") << QList<int> {0, 1, 3} << QList<int> {1000000, 1000000, 1000000} << 2
                                           << qint64(2000000);
        QTest::newRow("stored out of order") << QList<int> {2, 0, 1} << QList<int> {300, 100, 200} << 3
                                             << qint64(600);
        QTest::newRow("no piece 0") << QList<int> {1, 2} << QList<int> {10, 10} << 0 << qint64(0);
        QTest::newRow("piece 10 after 9") << QList<int> {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}
                                          << QList<int>(11, 1000) << 11 << qint64(11000);
    }
    void joinsPiecesInNumberOrder()
    {
        QFETCH(QList<int>, stored);
        QFETCH(QList<int>, sizes);
        QFETCH(int, joinedPieces);
        QFETCH(qint64, expectedSize);
        QList<Res> res {{QStringLiteral("UNRAR_DLL"), QByteArray("lib")}};
        QMap<int, QByteArray> pieces;
        for (int i = 0; i < stored.size(); ++i) {
            pieces[stored[i]] = pieceBytes(stored[i], sizes[i]);
            res.append({QStringLiteral("TVODEMO_%1").arg(stored[i]), pieces[stored[i]]});
        }
        makeInstaller(res);

        WriteEmbeddedArchive(QStringLiteral("T:\\TVO-DEMO.RAR"));
        const QByteArray out = readAll(host(QStringLiteral("TVO-DEMO.RAR")));
        QCOMPARE(out.size(), expectedSize);
        QByteArray expected;
        for (int n = 0; n < joinedPieces; ++n)
            expected += pieces[n];
        QVERIFY(out == expected);
        if (expectedSize > 7 && stored.first() == 0)
            QCOMPARE(out.left(7), kRarSignature);
    }

    void hasEmbeddedLibrary_data()
    {
        QTest::addColumn<QList<Res>>("resources");
        QTest::addColumn<bool>("expected");
        QTest::newRow("plain installer") << QList<Res> {} << false;
        QTest::newRow("library only") << QList<Res> {{QStringLiteral("UNRAR_DLL"), "x"}} << true;
        QTest::newRow("pieces only") << QList<Res> {{QStringLiteral("TVODEMO_0"), "x"}} << false;
        QTest::newRow("library of another type") << QList<Res> {{QStringLiteral("UNRAR_DLL"), "x", 3}} << false;
        QTest::newRow("other, empty resource") << QList<Res> {{QStringLiteral("X"), {}}} << false;
    }
    void hasEmbeddedLibrary()
    {
        QFETCH(QList<Res>, resources);
        QFETCH(bool, expected);
        makeInstaller(resources);
        QCOMPARE(HasEmbeddedLibrary(), expected);
    }

    void writesLibraryOverExistingFile()
    {
        const QByteArray lib = pieceBytes(5, 150528);
        makeInstaller({{QStringLiteral("UNRAR_DLL"), lib}, {QStringLiteral("TVODEMO_0"), "abc"}});
        const QString libPath = host(QStringLiteral("TVOUNRAR.DLL")), rarPath = host(QStringLiteral("TVO-DEMO.RAR"));
        for (const QString &p : {libPath, rarPath}) {
            QFile f(p);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(400000, 'z'));
        }
        WriteEmbeddedLibrary(QStringLiteral("T:\\TVOUNRAR.DLL"));
        WriteEmbeddedArchive(QStringLiteral("T:\\TVO-DEMO.RAR"));
        QVERIFY(readAll(libPath) == lib);
        QCOMPARE(readAll(rarPath), QByteArray("abc"));
    }

    void missingLibraryIsNotFound()
    {
        makeInstaller({{QStringLiteral("TVODEMO_0"), "abc"}});
        QFile::remove(host(QStringLiteral("TVOUNRAR.DLL")));
        try {
            WriteEmbeddedLibrary(QStringLiteral("T:\\TVOUNRAR.DLL"));
            QFAIL("no exception");
        } catch (const EResNotFound &e) {
            QCOMPARE(e.message(), "W pliku instalatora brakuje danych UNRAR_DLL:\r" + platform::toDrivePath(InstallerFile())
                                      + "\rPobierz instalator ponownie.");
        }
        QVERIFY(!QFile::exists(host(QStringLiteral("TVOUNRAR.DLL"))));
    }

    // Damage is reported with a message that names the installer file, by the
    // presence test as well as by the writers; none of them answers as if the
    // file were a plain installer.
    void damagedInstaller_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("level"); // compression of the resources
        QTest::addColumn<QString>("message"); // "@" stands for the installer file
        const QString cut = "Plik instalatora jest niekompletny:\r@\r"
                            "Prawdopodobnie przerwano jego pobieranie.\rPobierz instalator ponownie.";
        const QString piece = "Plik instalatora jest uszkodzony:\r@\r"
                              "Dane TVODEMO_2 mają błędną sumę kontrolną.\rPobierz instalator ponownie.";
        const QString index = "Plik instalatora jest uszkodzony:\r@\r"
                              "Spis danych instalacji jest nieczytelny.\rPobierz instalator ponownie.";
        for (int level : {0, 19}) {
            const char *how = level ? ", compressed" : "";
            QTest::addRow("trailer cut off%s", how) << "cut:10" << level << cut;
            QTest::addRow("cut inside a piece%s", how) << "cut:piece" << level << cut;
            QTest::addRow("flipped byte in a piece%s", how) << "flip:piece" << level << piece;
            QTest::addRow("flipped byte in the index%s", how) << "flip:index" << level << index;
        }
        QTest::newRow("bytes beyond the program image") << "junk" << 0 << cut;
        QTest::newRow("a newer format") << "version:3" << 0
                                        << "Plik instalatora zawiera dane w nowszym formacie (wersja 3),\r"
                                           "którego ten program nie odczytuje:\r@\rPobierz instalator ponownie.";
    }
    void damagedInstaller()
    {
        QFETCH(QString, damage);
        QFETCH(int, level);
        QFETCH(QString, message);
        QList<Res> res {{QStringLiteral("UNRAR_DLL"), pieceBytes(9, 5000)}};
        for (int n = 0; n < 3; ++n)
            res.append({QStringLiteral("TVODEMO_%1").arg(n), pieceBytes(n, 300000)});
        const QString path = damage == "junk" ? makeInstaller({}) : makeInstaller(res, QStringLiteral("setup"), level);
        const qint64 size = QFileInfo(path).size();
        qint64 pieceMiddle = 0; // of TVODEMO_2, counted from the end of the file
        if (damage != "junk") {
            platform::ResourceStore store;
            QCOMPARE(store.open(path.toStdString()), platform::ResourceStore::Valid);
            const platform::StoredResource *r = store.find(kRawDataResource, "TVODEMO_2");
            QCOMPARE(r->method == platform::StoreMethod::Zstd, level > 0);
            pieceMiddle = size - qint64(r->offset + r->size / 2);
        }
        if (damage == "cut:10")
            QVERIFY(QFile::resize(path, size - 10));
        else if (damage == "cut:piece")
            QVERIFY(QFile::resize(path, size - pieceMiddle));
        else if (damage == "flip:piece")
            patchByte(path, pieceMiddle);
        else if (damage == "flip:index")
            patchByte(path, 40);
        else if (damage == "version:3") { // the trailer's format version
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(size - platform::kStoreTrailerSize + 8));
            f.write(QByteArray("\x03\0\0\0", 4));
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::Append));
            f.write("leftover");
        }

        const QString name = platform::toDrivePath(path);
        message.replace('@', name);
        auto check = [&](auto &&call) {
            try {
                call();
                QFAIL("no exception");
            } catch (const EResourceDamaged &e) {
                QCOMPARE(e.message(), message);
            }
        };
        if (damage == "flip:piece") {
            QVERIFY(HasEmbeddedLibrary()); // the index is sound
            check([] { WriteEmbeddedArchive(QStringLiteral("T:\\TVO-DEMO.RAR")); });
            return;
        }
        check([] { HasEmbeddedLibrary(); });
        check([] { WriteEmbeddedLibrary(QStringLiteral("T:\\TVOUNRAR.DLL")); });
        check([] { WriteEmbeddedArchive(QStringLiteral("T:\\TVO-DEMO.RAR")); });
    }

    // Every failure leaves the file layer's message and no file behind.
    void fileLayerErrors_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing folder") << "T:\\no\\such\\TVO-DEMO.RAR" << "Cannot create file T:\\no\\such\\TVO-DEMO.RAR";
        QTest::newRow("a folder of that name") << "T:\\dir.rar" << "Cannot create file T:\\dir.rar";
        QTest::newRow("unmapped drive") << "Q:\\x.rar" << "Cannot create file Q:\\x.rar";
        QTest::newRow("full disk") << "F:\\TVO-DEMO.RAR" << "Stream write error";
        QTest::newRow("damaged piece") << "T:\\TVO-DEMO.RAR" << "\rDane TVODEMO_0 mają błędną sumę kontrolną.\r";
    }
    void fileLayerErrors()
    {
        QFETCH(QString, target);
        QFETCH(QString, message);
        const QString installer = makeInstaller(
            {{QStringLiteral("UNRAR_DLL"), "lib"}, {QStringLiteral("TVODEMO_0"), pieceBytes(0, 70000)}});
        if (message.startsWith("\rDane"))
            patchByte(installer, 40000); // inside the piece
        SmallDisk disk(host(QStringLiteral("small")), 64 * 1024);
        QVERIFY2(disk.mounted(), qPrintable(disk.error()));
        const qint64 freeBefore = disk.freeBlocks();
        platform::setDriveRoot('F', host(QStringLiteral("small")));
        QDir(tmp.path()).mkpath(QStringLiteral("dir.rar"));
        try {
            WriteEmbeddedArchive(target);
            QFAIL("no exception");
        } catch (const EStreamError &e) {
            QCOMPARE(e.message(), message);
        } catch (const EResourceDamaged &e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        const QString written = platform::toHostPath(target);
        QVERIFY(written.isEmpty() || !QFileInfo(written).isFile());
        QCOMPARE(disk.freeBlocks(), freeBefore); // the full disk is given back
    }

    // A library resource that fails its check, or a disk too small for it:
    // no file of that name stays.
    void failedLibraryLeavesNoFile_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("damaged resource") << true;
        QTest::newRow("full disk") << false;
    }
    void failedLibraryLeavesNoFile()
    {
        QFETCH(bool, damaged);
        const QString installer = makeInstaller({{QStringLiteral("UNRAR_DLL"), pieceBytes(3, 100000)}});
        if (damaged)
            patchByte(installer, 50000);
        SmallDisk disk(host(QStringLiteral("small")), damaged ? 1024 * 1024 : 64 * 1024);
        QVERIFY2(disk.mounted(), qPrintable(disk.error()));
        platform::setDriveRoot('F', host(QStringLiteral("small")));
        const qint64 freeBefore = disk.freeBlocks();
        QVERIFY_THROWS_EXCEPTION(Exception, WriteEmbeddedLibrary(QStringLiteral("F:\\TVOUNRAR.DLL")));
        QVERIFY(!QFileInfo::exists(host(QStringLiteral("small/TVOUNRAR.DLL"))));
        QCOMPARE(disk.freeBlocks(), freeBefore);
    }

    // The writers make their files new: a link at the name is removed, not
    // written through, and the file is private to the user while it exists.
    void linkAtTheNameIsReplaced()
    {
        makeInstaller({{QStringLiteral("UNRAR_DLL"), "lib"}, {QStringLiteral("TVODEMO_0"), "abc"}});
        const QString victim = host(QStringLiteral("victim.txt"));
        for (const QString &name : {QStringLiteral("TVOUNRAR.DLL"), QStringLiteral("TVO-DEMO.RAR")}) {
            QFile::remove(host(name));
            QFile v(victim);
            QVERIFY(v.open(QIODevice::WriteOnly | QIODevice::Truncate));
            v.write("victim");
            v.close();
            if (!makeSymbolicLink(victim, host(name), false))
                QSKIP(kNoLinksHere);
        }
        platform::TempFile lib, rar;
        WriteEmbeddedLibrary(QStringLiteral("T:\\TVOUNRAR.DLL"), &lib);
        WriteEmbeddedArchive(QStringLiteral("T:\\TVO-DEMO.RAR"), &rar);
        QCOMPARE(readAll(victim), QByteArray("victim"));
        QVERIFY(!QFileInfo(host(QStringLiteral("TVOUNRAR.DLL"))).isSymLink());
        QCOMPARE(readAll(host(QStringLiteral("TVOUNRAR.DLL"))), QByteArray("lib"));
        QCOMPARE(readAll(host(QStringLiteral("TVO-DEMO.RAR"))), QByteArray("abc"));
#ifndef Q_OS_WIN // Windows keeps no permission bits: its temporary folder is the user's own
        QCOMPARE(QFileInfo(host(QStringLiteral("TVO-DEMO.RAR"))).permissions(),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
#endif
        QVERIFY(lib.fd() >= 0); // both stay open, to be read through their descriptors
        QVERIFY(rar.fd() >= 0);
        lib.remove();
        rar.remove();
        QVERIFY(!QFileInfo::exists(host(QStringLiteral("TVOUNRAR.DLL"))));
        QVERIFY(!QFileInfo::exists(host(QStringLiteral("TVO-DEMO.RAR"))));
    }
};

QTEST_GUILESS_MAIN(TestPayload)
#include "tst_Payload.moc"
