// The binding and TUnRAR against a scripted stand-in for the library.
#include "AppCore.h"
#include "UnRAR.h"
#include "drives.h"
#include "dynlib.h"
#include "fakeunrar/fakeunrar.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

class TestUnRAR : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    FakeUnrarState *fake = nullptr;

    void loadFake()
    {
        LoadUnrarLibrary(QStringLiteral("F:\\fakeunrar.so"));
        fake = reinterpret_cast<FakeUnrarState *(*)()>(
            platform::librarySymbol(UnRAR::binding().library, "fakeunrar_state"))();
        std::memset(fake, 0, sizeof *fake);
        fake->readEnd = 10;
        fake->commentBufferClean = 1;
    }

    static QString messageOf(const std::function<void()> &f)
    {
        try {
            f();
        } catch (const EUnRARError &e) {
            return e.message();
        }
        return QStringLiteral("<no error>");
    }

private slots:
    void initTestCase()
    {
        App::initModules();
        platform::setDriveRoot('F', QStringLiteral(FAKEUNRAR_DIR));
        platform::setDriveRoot('T', tmp.path());
        QVERIFY(QDir().mkpath(tmp.path() + "/libdir"));
        QVERIFY(QFile::copy(QStringLiteral(FAKEUNRAR_DIR "/fakeunrar.so"), tmp.path() + "/libdir/UNRAR.DLL"));
    }
    void init() { loadFake(); }
    void cleanupTestCase() { UnloadUnrarLibrary(); }

    void completePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("completed");
        QTest::newRow("empty") << "" << "UNRAR.DLL";
        QTest::newRow("folder with backslash") << "C:\\lib\\" << "C:\\lib\\UNRAR.DLL";
        QTest::newRow("folder without backslash") << "C:\\lib" << "C:\\lib";
        QTest::newRow("drive only") << "C:" << "C:\\UNRAR.DLL";
        QTest::newRow("file") << "C:\\x\\TVOUNRAR.DLL" << "C:\\x\\TVOUNRAR.DLL";
    }
    void completePath()
    {
        QFETCH(QString, path);
        QFETCH(QString, completed);
        QCOMPARE(UnRAR::completeLibraryPath(path), completed);
    }

    void load_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message"); // empty: loads
        QTest::newRow("library file") << "F:\\fakeunrar.so" << "";
        QTest::newRow("folder with backslash") << "T:\\libdir\\" << "";
        QTest::newRow("folder without backslash") << "T:\\libdir" << "Can't load DLL: T:\\libdir !";
        QTest::newRow("missing file") << "T:\\none.so" << "Can't load DLL: T:\\none.so !";
        QTest::newRow("empty: bare name") << "" << "Can't load DLL: UNRAR.DLL !";
        QTest::newRow("unmapped drive") << "Q:\\x.so" << "Can't load DLL: Q:\\x.so !";
    }
    void load()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        const QString got = messageOf([&] { LoadUnrarLibrary(path); });
        QCOMPARE(got, message.isEmpty() ? QStringLiteral("<no error>") : message);
        const auto &b = UnRAR::binding();
        // A failed load leaves nothing loaded, not even the library before it.
        QCOMPARE(b.library != nullptr, message.isEmpty());
        QCOMPARE(b.RARProcessFile != nullptr, message.isEmpty());
    }

    void missingEntryPoint()
    {
        const QString got = messageOf([] { LoadUnrarLibrary(QStringLiteral("F:\\fakeunrar_noread.so")); });
        QCOMPARE(got, QStringLiteral("Error loading F:\\fakeunrar_noread.so: \r\"RARReadHeader\" function not found !"));
        QCOMPARE(App::displayText(got).split('\n').size(), 2);
        const auto &b = UnRAR::binding();
        QVERIFY(b.library && b.RAROpenArchive && b.RARCloseArchive);
        QVERIFY(!b.RARReadHeader && !b.RARProcessFile);
        // A call through the empty slot fails cleanly instead of crashing.
        QCOMPARE(messageOf([] { RARHeaderData h{}; ReadNextHeader(nullptr, h); }),
                 QStringLiteral("\"RARReadHeader\" function not bound !"));
        EnsureUnrarLibrary(); // something is loaded: no new attempt
        QVERIFY(!UnRAR::binding().RARReadHeader);
        UnloadUnrarLibrary();
        UnloadUnrarLibrary();
        QVERIFY(!b.library && !b.RAROpenArchive && !b.RARCloseArchive);
        QCOMPARE(messageOf([] { EnsureUnrarLibrary(); }), QStringLiteral("Can't load DLL: UNRAR.DLL !"));
    }

    // The user sees the fixed message; the log keeps the loader's reason.
    void loadFailureLogsTheLoadersReason()
    {
        QTest::ignoreMessage(QtWarningMsg,
                             // The loader's reason after the file: its own words on each system.
                             QRegularExpression("cannot load \"T:.*none\\.so\" : \".*none\\.so: .+\""));
        QCOMPARE(messageOf([] { LoadUnrarLibrary(QStringLiteral("T:\\none.so")); }),
                 QStringLiteral("Can't load DLL: T:\\none.so !"));
    }

    void openResults_data()
    {
        QTest::addColumn<uint>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("0") << 0u << "";
        QTest::newRow("11") << 11u << "Not enough memory !";
        QTest::newRow("12") << 12u << "Archive header broken !";
        QTest::newRow("13") << 13u << "This is not RAR archive !";
        QTest::newRow("14 has no text") << 14u << "(OpenResult = 14)";
        QTest::newRow("15") << 15u << "Cannot open file !";
        QTest::newRow("10") << 10u << "(OpenResult = 10)";
        QTest::newRow("signed") << 0xFFFFFFFFu << "(OpenResult = -1)";
    }
    void openResults()
    {
        QFETCH(uint, result);
        QFETCH(QString, message);
        fake->openResult = result;
        const QString got = messageOf([] { OpenArchive(QStringLiteral("T:\\a b\\ż.rar"), UnRAR::OmExtract); });
        QCOMPARE(got, message.isEmpty() ? QStringLiteral("<no error>") : message);
        // The host path, with the system's separators.
        QCOMPARE(QString::fromUtf8(fake->lastArcName), QDir::toNativeSeparators(tmp.path() + QStringLiteral("/a b/ż.rar")));
        QCOMPARE(fake->lastOpenMode, 1u);
    }

    void readResults_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("10 ends") << 10 << "";
        QTest::newRow("12") << 12 << "File header broken !";
        QTest::newRow("11") << 11 << "(RHCode = 11)";
        QTest::newRow("negative") << -3 << "(RHCode = -3)";
    }
    void readResults()
    {
        QFETCH(int, result);
        QFETCH(QString, message);
        fake->entries = 1;
        fake->readEnd = result;
        RARHeaderData h;
        std::memset(&h, 0, sizeof h);
        h.CmtBuf = h.FileName; // stale values the binding must clear
        h.CmtBufSize = 99;
        QVERIFY(ReadNextHeader(&h, h));
        QCOMPARE(UnRAR::headerFileName(h), QStringLiteral("dir\\entry0.txt"));
        bool more = true;
        QCOMPARE(messageOf([&] { more = ReadNextHeader(&h, h); }), message.isEmpty() ? "<no error>" : message);
        QVERIFY(!more || !message.isEmpty());
        QCOMPARE(fake->commentBufferClean, 1);
    }

    void processResults_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("0") << 0 << "";
        const char *texts[] = {"File CRC error !", "Volume is not valid RAR archive !", "Unknown archive format !",
                               "Volume open error !", "File create error !", "File close error !", "Read error !",
                               "Write error !"};
        for (int r = 12; r <= 19; ++r)
            QTest::addRow("%d", r) << r << texts[r - 12];
        for (int r : {1, 10, 11, 20, -5})
            QTest::addRow("%d", r) << r << QStringLiteral("(PFCode = %1)").arg(r);
    }
    void processResults()
    {
        QFETCH(int, result);
        QFETCH(QString, message);
        fake->processResult = result;
        const QString got = messageOf([] { ProcessCurrentFile(nullptr, 2, QStringLiteral("T:\\out\\"), QString()); });
        QCOMPARE(got, message.isEmpty() ? QStringLiteral("<no error>") : message);
        QCOMPARE(fake->lastOperation, 2);
        QCOMPARE(QString::fromUtf8(fake->lastDestPath), QDir::toNativeSeparators(tmp.path() + "/out"));
        QVERIFY(fake->lastDestNameNull);
    }

    void extractToUnmappedFolder()
    {
        // Extracting to no drive must not fall back to the current folder.
        QCOMPARE(messageOf([] { ProcessCurrentFile(nullptr, 2, QStringLiteral("Q:\\x\\"), QString()); }),
                 QStringLiteral("File create error !"));
        QCOMPARE(fake->processCalls, 0);
    }

    void archiveFileSetter()
    {
        TUnRAR u;
        QVERIFY(u.ArchiveFile().isEmpty());
        fake->entries = 2;
        u.setProperty("ArchiveFile", QStringLiteral("T:\\a.rar"));
        u.ListFiles();
        QCOMPARE(u.Files().size(), 2);
        u.setArchiveFile(QStringLiteral("T:\\a.rar"));
        QCOMPARE(u.Files().size(), 2);
        u.setArchiveFile(QStringLiteral("T:\\A.rar"));
        QVERIFY(u.Files().isEmpty());
        QCOMPARE(u.property("ArchiveFile").toString(), QStringLiteral("T:\\A.rar"));
    }

    void listFiles()
    {
        TUnRAR u;
        u.setArchiveFile(QStringLiteral("T:\\a.rar"));
        fake->entries = 3;
        u.ListFiles();
        const TUnRARFiles want{{"dir\\entry0.txt", 100}, {"dir\\entry1.txt", 101}, {"dir\\entry2.txt", 102}};
        QCOMPARE(u.Files(), want);
        QCOMPARE(fake->lastOpenMode, 0u);
        QCOMPARE(QByteArray(fake->operations), QByteArray("000"));
        QVERIFY(fake->lastDestPathNull && fake->lastDestNameNull);
        QCOMPARE(fake->closes, 1);
        u.ListFiles(); // a second listing replaces the first
        QCOMPARE(u.Files(), want);
    }

    // Every way out of ListFiles and ExtractTo closes an opened archive once;
    // a failed open leaves nothing to close and runs no event.
    void closedOnEveryWayOut_data()
    {
        QTest::addColumn<bool>("extract");
        QTest::addColumn<uint>("openResult");
        QTest::addColumn<int>("readEnd");
        QTest::addColumn<int>("processResult");
        QTest::addColumn<int>("throwAt"); // event that throws, -1 none
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("events");
        QTest::addColumn<int>("listed");
        QTest::addColumn<int>("closes");
        for (bool x : {false, true}) {
            const char *k = x ? "extract" : "list";
            QTest::addRow("%s: success", k) << x << 0u << 10 << 0 << -1 << "" << (x ? 3 : 0) << (x ? 0 : 3) << 1;
            QTest::addRow("%s: open fails", k) << x << 13u << 10 << 0 << -1 << "This is not RAR archive !" << 0 << 0 << 0;
            QTest::addRow("%s: header broken", k)
                << x << 0u << 12 << 0 << -1 << "File header broken !" << (x ? 3 : 0) << (x ? 0 : 3) << 1;
            QTest::addRow("%s: process fails", k)
                << x << 0u << 10 << 18 << -1 << "Read error !" << (x ? 1 : 0) << (x ? 0 : 1) << 1;
        }
        QTest::newRow("extract: event throws") << true << 0u << 10 << 0 << 1 << "stop" << 2 << 0 << 1;
    }
    void closedOnEveryWayOut()
    {
        QFETCH(bool, extract);
        QFETCH(uint, openResult);
        QFETCH(int, readEnd);
        QFETCH(int, processResult);
        QFETCH(int, throwAt);
        QFETCH(QString, message);
        QFETCH(int, events);
        QFETCH(int, listed);
        QFETCH(int, closes);
        fake->openResult = openResult;
        fake->entries = 3;
        fake->readEnd = readEnd;
        fake->processResult = processResult;
        TUnRAR u;
        u.setArchiveFile(QStringLiteral("T:\\a.rar"));
        int seen = 0;
        u.OnExtractFile = [&](QObject *sender, const QString &, bool &) {
            QCOMPARE(sender, &u);
            if (seen++ == throwAt)
                throw EUnRARError(QStringLiteral("stop"));
        };
        const QString got = messageOf([&] { extract ? u.ExtractTo(QStringLiteral("T:\\out\\")) : u.ListFiles(); });
        QCOMPARE(got, message.isEmpty() ? QStringLiteral("<no error>") : message);
        QCOMPARE(seen, events);
        QCOMPARE(u.Files().size(), listed); // what was listed before a failure stays
        QCOMPARE(fake->closes, closes);
    }

    void extractAsksBeforeEachEntry()
    {
        fake->entries = 4;
        TUnRAR u;
        u.setArchiveFile(QStringLiteral("T:\\a.rar"));
        QStringList names;
        u.OnExtractFile = [&](QObject *, const QString &name, bool &skip) {
            QVERIFY(!skip); // every entry starts with false
            names << name;
            skip = name.endsWith("1.txt") || name.endsWith("2.txt");
        };
        u.ExtractTo(QStringLiteral("T:\\out\\"));
        QCOMPARE(names.size(), 4);
        QCOMPARE(names.first(), QStringLiteral("dir\\entry0.txt"));
        QCOMPARE(QByteArray(fake->operations), QByteArray("2002"));
        QCOMPARE(QString::fromUtf8(fake->lastDestPath), QDir::toNativeSeparators(tmp.path() + "/out"));
        QVERIFY(fake->lastDestNameNull);
        QVERIFY(u.Files().isEmpty()); // extraction leaves the list alone

        std::memset(fake->operations, 0, sizeof fake->operations);
        u.OnExtractFile = nullptr; // without a handler every entry is extracted
        u.ExtractTo(QStringLiteral("T:\\out\\"));
        QCOMPARE(QByteArray(fake->operations), QByteArray("2222"));
    }
};

QTEST_MAIN(TestUnRAR)
#include "tst_UnRAR.moc"
