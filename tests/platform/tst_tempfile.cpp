// The program's own files in folders others may write: exclusive creation
// that never follows a link, removal only while the name is still ours,
// write-and-rename, private folders, and loading only the library written.
#include "drives.h"
#include "dynlib.h"
#include "filefixtures.h"
#include "hostfixtures.h"
#include "logfile.h"
#include "ownedfiles.h"
#include "storeio.h"
#include "tempfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <cstring>
#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace platform;

namespace {

std::string s(const QString &path) { return path.toUtf8().toStdString(); }

bool isLink(const QString &path) { return QFileInfo(path).isSymLink(); }

// The mode as this system keeps it: the permission bits here, on Windows
// only whether the owner may write (the read-only attribute).
void checkMode(const QString &path, int mode)
{
#ifdef Q_OS_WIN
    const DWORD attrs = GetFileAttributesW(QDir::toNativeSeparators(path).toStdWString().c_str());
    QVERIFY(attrs != INVALID_FILE_ATTRIBUTES);
    QCOMPARE(bool(attrs & FILE_ATTRIBUTE_READONLY), !(mode & 0200));
#else
    struct stat st;
    QCOMPARE(::lstat(s(path).c_str(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), mode);
#endif
}

bool isClosed(NativeFile fd)
{
#ifdef Q_OS_WIN
    DWORD flags;
    return !GetHandleInformation(reinterpret_cast<HANDLE>(fd), &flags);
#else
    return ::fcntl(int(fd), F_GETFD) == -1;
#endif
}

#ifdef Q_OS_WIN
// Held open without delete sharing, a file can be neither renamed nor
// removed by anyone else: what someone tries meanwhile fails.
constexpr bool kHeldFilesStay = true;
#else
constexpr bool kHeldFilesStay = false;
#endif

} // namespace

class TestTempFile : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    QString p(const QString &rel) const { return tmp.path() + "/" + rel; }

    // What a test puts at a name before the program writes there; false
    // when it is a link and the system makes none.
    bool putAt(const QString &path, const QString &existing)
    {
        if (existing == "file")
            writeFile(path, "old");
        else if (existing == "link to a file")
            return makeSymbolicLink(p("outside/victim.txt"), path, false);
        else if (existing == "link to a missing file")
            return makeSymbolicLink(p("outside/none.txt"), path, false);
        else if (existing == "link to a folder")
            return makeSymbolicLink(p("outside/dir"), path, true);
        else if (existing == "folder")
            QDir().mkpath(path);
        return true;
    }
    void checkOutsideUntouched()
    {
        QCOMPARE(readAll(p("outside/victim.txt")), QByteArray("victim"));
        QVERIFY(!QFileInfo::exists(p("outside/none.txt")));
        QCOMPARE(QDir(p("outside/dir")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System),
                 QStringList());
    }

private slots:
    void init()
    {
        QDir(p("t")).removeRecursively();
        QDir(p("outside")).removeRecursively();
        QVERIFY(QDir().mkpath(p("t")));
        QVERIFY(QDir().mkpath(p("outside/dir")));
        writeFile(p("outside/victim.txt"), "victim");
    }
    void cleanup() { setDescriptorFolderForTesting({}); }

    void createReplacesWhatHasTheName_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<int>("error");
        for (const char *kind : {"nothing", "file", "link to a file", "link to a missing file", "link to a folder"})
            QTest::newRow(kind) << kind << 0;
        QTest::newRow("folder") << "folder" << EEXIST; // never removed: the name is taken
    }
    void createReplacesWhatHasTheName()
    {
        QFETCH(QString, existing);
        QFETCH(int, error);
        const QString name = p("t/TVOUNRAR.DLL");
        if (!putAt(name, existing))
            QSKIP(kNoLinksHere);
        TempFile f;
        QCOMPARE(f.create(s(name)), error);
        checkOutsideUntouched();
        if (error) {
            QVERIFY(!f.isCreated());
            QVERIFY(QFileInfo(name).isDir());
            return;
        }
        QVERIFY(!isLink(name));
        checkMode(name, 0600);
        QVERIFY(entryIdOf(s(name)) == f.id());
        QVERIFY(f.nameIsOurs());
        QVERIFY(writeAll(f.fd(), "new", 3));
        QCOMPARE(f.close(), 0);
        QCOMPARE(readAll(name), QByteArray("new"));
    }

    // The clean-up removes a name only while it still refers to the file
    // that was created; whatever someone put there instead stays. Closing
    // in the background changes when the descriptor goes, nothing else.
    // While the file is held, Windows lets no one else rename or remove it.
    void removeOnlyWhileTheNameIsOurs_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<bool>("closedFirst");
        QTest::addColumn<bool>("background");
        QTest::addColumn<bool>("removed");
        QTest::addColumn<QByteArray>("left"); // at the name afterwards
        const bool held = kHeldFilesStay;
        const QByteArray missing = "<missing>";
        QTest::newRow("untouched") << "" << false << false << true << missing;
        QTest::newRow("replaced by another file") << "file" << false << false << held << (held ? missing : "theirs");
        QTest::newRow("replaced by a link to ours") << "link" << false << false << held << (held ? missing : "ours");
        QTest::newRow("removed by someone") << "gone" << false << false << held << missing;
        QTest::newRow("untouched, closed in the background") << "" << false << true << true << missing;
        QTest::newRow("replaced, closed in the background") << "file" << false << true << held
                                                            << (held ? missing : "theirs");
        // Once closed, the file is anyone's to rename or remove, on every system.
        QTest::newRow("closed, untouched") << "" << true << false << true << missing;
        QTest::newRow("closed, then replaced by another file") << "file" << true << false << false
                                                              << QByteArray("theirs");
        QTest::newRow("closed, then replaced by a link to ours") << "link" << true << false << false
                                                                << QByteArray("ours");
        QTest::newRow("closed, then removed by someone") << "gone" << true << false << false << missing;
    }
    void removeOnlyWhileTheNameIsOurs()
    {
        QFETCH(QString, meanwhile);
        QFETCH(bool, closedFirst);
        QFETCH(bool, background);
        QFETCH(bool, removed);
        QFETCH(QByteArray, left);
        const QString name = p("t/TVO-DEMO.RAR");
        TempFile f;
        QCOMPARE(f.create(s(name)), 0);
        QVERIFY(writeAll(f.fd(), "ours", 4));
        if (closedFirst)
            QCOMPARE(f.close(), 0);
        bool done = true; // what someone did meanwhile
        if (meanwhile == "file") {
            writeFile(p("t/theirs"), "theirs");
            done = renameOver(p("t/theirs"), name);
        } else if (meanwhile == "link") {
            done = renameOver(name, p("outside/moved"));
            if (done && !makeSymbolicLink(p("outside/moved"), name, false))
                QSKIP(kNoLinksHere);
        } else if (meanwhile == "gone") {
            done = QFile::remove(name);
        }
        QCOMPARE(done, meanwhile.isEmpty() || closedFirst || !kHeldFilesStay);
        const NativeFile fd = f.fd();
        QCOMPARE(background ? f.removeClosingInBackground() : f.remove(), removed);
        QVERIFY(!f.isCreated());
        QCOMPARE(readAll(name), left);
        finishBackgroundCloses();
        if (fd != kNoFile)
            QVERIFY(isClosed(fd)); // closed, one way or the other
    }

    // While the program holds its file, others may neither write, rename
    // nor remove it, nor move its folder. Held only for reading, it may be
    // read and mapped for running; while it is written, Windows lets no one
    // else open it at all (the program's handle may still remove it, and an
    // opener would have to share that).
    void othersMayOnlyRead_data()
    {
        QTest::addColumn<QString>("attempt");
        QTest::addColumn<bool>("forReading");
        QTest::addColumn<bool>("allowed");
        for (const bool forReading : {false, true}) {
            const QString held = forReading ? QStringLiteral(", held for reading") : QStringLiteral(", held");
            QTest::addRow("read%s", qPrintable(held)) << "read" << forReading << (forReading || !kHeldFilesStay);
            for (const char *attempt : {"write", "rename", "remove", "move its folder"})
                QTest::addRow("%s%s", attempt, qPrintable(held)) << attempt << forReading << false;
        }
    }
    void othersMayOnlyRead()
    {
        QFETCH(QString, attempt);
        QFETCH(bool, forReading);
        QFETCH(bool, allowed);
        if (!kHeldFilesStay && attempt != "read")
            QSKIP("opening a file locks nothing on this system: there are no sharing modes");
        const QString name = p("t/TVOUNRAR.DLL");
        TempFile f;
        QCOMPARE(f.create(s(name)), 0);
        QVERIFY(writeAll(f.fd(), "ours", 4));
        if (forReading)
            QCOMPARE(f.holdForReading(), 0);
        bool done = false;
        if (attempt == "read") {
            done = readAll(name) == "ours";
        } else if (attempt == "write") {
            QFile other(name);
            done = other.open(QIODevice::WriteOnly | QIODevice::Append);
        } else if (attempt == "rename") {
            done = renameOver(name, p("t/moved"));
        } else if (attempt == "remove") {
            done = QFile::remove(name);
        } else {
            done = renameOver(p("t"), p("moved"));
        }
        QCOMPARE(done, allowed);
        QVERIFY(f.nameIsOurs());
        QVERIFY(f.remove());
        QVERIFY(!QFileInfo::exists(name));
    }

    void ownershipEndsWithTheObject()
    {
        const QString a = p("t/a"), b = p("t/b");
        {
            TempFile f;
            QCOMPARE(f.create(s(a)), 0);
        }
        QVERIFY(!QFileInfo::exists(a)); // the destructor removes
        {
            TempFile f, g;
            QCOMPARE(f.create(s(a)), 0);
            QCOMPARE(g.create(s(b)), 0);
            g = std::move(f); // g's own file goes, f's passes to g
            QVERIFY(!QFileInfo::exists(b));
            QVERIFY(QFileInfo::exists(a));
            g.keep();
        }
        QVERIFY(QFileInfo::exists(a)); // kept
    }

    void replaceFileNeverFollowsALink_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<int>("mode");
        for (const char *kind : {"nothing", "file", "link to a file", "link to a missing file", "link to a folder"})
            QTest::newRow(kind) << kind << 0755;
        QTest::newRow("file, read-only") << "file" << 0444;
    }
    void replaceFileNeverFollowsALink()
    {
        QFETCH(QString, existing);
        QFETCH(int, mode);
        const QString name = p("t/Tavro 2010 DEMO.desktop");
        if (!putAt(name, existing))
            QSKIP(kNoLinksHere);
        QCOMPARE(replaceFile(s(name), "new text", 8, std::uint32_t(mode)), 0);
        checkOutsideUntouched();
        QVERIFY(!isLink(name));
        QCOMPARE(readAll(name), QByteArray("new text"));
        checkMode(name, mode);
        QFile::setPermissions(name, QFile::ReadOwner | QFile::WriteOwner); // so that the folder can go
        QCOMPARE(QDir(p("t")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{"Tavro 2010 DEMO.desktop"}); // no temporary file left
    }

    void replaceFileFailureLeavesNothing()
    {
        const QString name = p("t/entry.desktop");
        QVERIFY(QDir().mkpath(name + "/inside"));
        QCOMPARE(replaceFile(s(name), "x", 1, 0644), EISDIR);
        QCOMPARE(QDir(p("t")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{"entry.desktop"});
        QVERIFY(QFileInfo(name + "/inside").isDir());
        QCOMPARE(replaceFile(s(p("t/missing/entry.desktop")), "x", 1, 0644), ENOENT);
    }

    // An installed entry is removed only while it is what was installed:
    // nothing is followed below the root, whatever is put there meanwhile.
    void removeBelowOnlyWhatIsStillOurs_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("stays");
        const int removed = int(RemoveStatus::Removed), changed = int(RemoveStatus::Changed);
        QTest::newRow("file") << "file" << "" << removed << false;
        QTest::newRow("read-only file") << "read-only" << "" << removed << false;
        QTest::newRow("file grown") << "file" << "grown" << changed << true;
        QTest::newRow("file gone") << "file" << "gone" << int(RemoveStatus::Missing) << false;
        QTest::newRow("empty folder") << "folder" << "" << removed << false;
        QTest::newRow("folder filled") << "folder" << "filled" << int(RemoveStatus::NotEmpty) << true;
        QTest::newRow("folder on the way now a link") << "file" << "link on the way" << changed << true;
        QTest::newRow("link itself") << "link" << "" << removed << false;
        // Someone else has the file open: Windows removes no file in use
        // (the other program did not share deletion), here it goes.
        QTest::newRow("file in use") << "file" << "in use"
                                     << int(kHeldFilesStay ? RemoveStatus::Failed : RemoveStatus::Removed)
                                     << kHeldFilesStay;
    }
    void removeBelowOnlyWhatIsStillOurs()
    {
        QFETCH(QString, entry);
        QFETCH(QString, meanwhile);
        QFETCH(int, status);
        QFETCH(bool, stays);
        const QString root = p("t/root"), path = root + "/d/x";
        QVERIFY(QDir().mkpath(root + "/d"));
        if (entry == "folder") {
            QVERIFY(QDir().mkpath(path));
        } else if (entry == "link") {
            if (!makeSymbolicLink(p("outside/victim.txt"), path, false))
                QSKIP(kNoLinksHere);
        } else {
            writeFile(path, "ours");
            if (entry == "read-only")
                QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        }
        const FileStamp stamp = stampBelow(root, "d/x");
        QCOMPARE(stamp.kind, entry == "folder" ? FileStamp::Folder : entry == "link" ? FileStamp::Link : FileStamp::File);
        QFile other(path);
        if (meanwhile == "grown") {
            QVERIFY(other.open(QIODevice::Append));
            QCOMPARE(other.write("more"), 4);
            other.close();
        } else if (meanwhile == "gone") {
            QVERIFY(QFile::remove(path));
        } else if (meanwhile == "filled") {
            writeFile(path + "/theirs", "theirs");
        } else if (meanwhile == "link on the way") {
            QVERIFY(renameOver(root + "/d", p("outside/d")));
            if (!makeSymbolicLink(p("outside/d"), root + "/d", true))
                QSKIP(kNoLinksHere);
        } else if (meanwhile == "in use") {
            QVERIFY(other.open(QIODevice::ReadOnly));
        }
        QString error;
        QCOMPARE(int(removeBelow(root, "d/x", stamp, &error)), status);
        QCOMPARE(!error.isEmpty(), status == int(RemoveStatus::Failed));
        QCOMPARE(QFileInfo::exists(path) || QFileInfo(path).isSymLink(), stays);
        checkOutsideUntouched();
        if (meanwhile == "link on the way")
            QCOMPARE(readAll(p("outside/d/x")), QByteArray("ours"));
    }

    // The folders a path still lacks, from the deepest up.
    void missingFoldersFromTheDeepest_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("missing");
        QTest::newRow("all there") << "t/a" << QStringList();
        QTest::newRow("two missing") << "t/a/b/c" << QStringList{"t/a/b/c", "t/a/b"};
        QTest::newRow("below a file") << "t/a/f/x" << QStringList();
    }
    void missingFoldersFromTheDeepest()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, missing);
        QVERIFY(QDir().mkpath(p("t/a")));
        writeFile(p("t/a/f"), "file");
        QStringList expected;
        for (const QString &m : missing)
            expected << QDir::toNativeSeparators(p(m));
        QCOMPARE(missingFolders(p(path)), expected);
    }

    // The log is appended to, and only a regular file is: a link or a
    // folder at its name is refused with its reason.
    void logOpensOnlyARegularFile_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("error"); // empty: opened
        QTest::newRow("nothing") << "nothing" << QString();
        QTest::newRow("file") << "file" << QString();
#ifdef Q_OS_WIN
        QTest::newRow("folder") << "folder" << QStringLiteral("to nie jest zwykły plik");
#else
        QTest::newRow("folder") << "folder" << QString::fromLocal8Bit(std::strerror(EISDIR));
#endif
        QTest::newRow("link to a file") << "link to a file" << QStringLiteral("to dowiązanie symboliczne");
        QTest::newRow("link to a missing file") << "link to a missing file" << QStringLiteral("to dowiązanie symboliczne");
    }
    void logOpensOnlyARegularFile()
    {
        QFETCH(QString, existing);
        QFETCH(QString, error);
        const QString name = p("t/install.log");
        if (!putAt(name, existing))
            QSKIP(kNoLinksHere);
        QString why;
        const NativeFile fd = openAppendOnly(QDir::toNativeSeparators(name), &why);
        QCOMPARE(why, error);
        QCOMPARE(fd != kNoFile, error.isEmpty());
        checkOutsideUntouched();
        if (fd == kNoFile)
            return;
        QVERIFY(appendBytes(fd, "one\n"));
        QVERIFY(appendBytes(fd, "two\n"));
        QVERIFY(closeNativeFile(fd));
        QCOMPARE(readAll(name), QByteArray(existing == "file" ? "oldone\ntwo\n" : "one\ntwo\n"));
    }

    // The library file is swapped for another valid library between its
    // writing and its loading: that one's constructor must never run.
    // On Windows the swap itself is refused while the file is held.
    void loadsOnlyTheWrittenLibrary_data()
    {
        QTest::addColumn<bool>("viaDescriptor");
        QTest::addColumn<bool>("swapped");
#ifndef Q_OS_WIN // no folder of descriptors there
        QTest::newRow("written file, through /proc") << true << false;
        QTest::newRow("swapped file, through /proc") << true << true;
#endif
        QTest::newRow("written file, no /proc") << false << false;
        QTest::newRow("swapped file, no /proc") << false << true;
    }
    void loadsOnlyTheWrittenLibrary()
    {
        QFETCH(bool, viaDescriptor);
        QFETCH(bool, swapped);
        const QString marker = p("outside/marker");
        QFile::remove(marker);
        qputenv("TVO_TEST_MARKER", marker.toUtf8());
        setDescriptorFolderForTesting(viaDescriptor ? std::string() : s(p("no-proc")));
#ifdef Q_OS_WIN
        const QString drivePath = QDir::toNativeSeparators(p("t/TVOUNRAR.DLL")); // the system's own drive form
#else
        setDriveRoot('W', p("t"));
        const QString drivePath = QStringLiteral("W:\\TVOUNRAR.DLL");
#endif
        const QString name = toHostPath(drivePath);
        TempFile f;
        QCOMPARE(f.create(s(name)), 0);
        // The written file is the marker library itself when nothing is
        // swapped: loading it shows that the marker would appear.
        QFile source(swapped ? QString(TVO_UNRAR_LIBRARY) : QString(TVO_EVIL_LIBRARY));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        QVERIFY(writeAll(f.fd(), bytes.constData(), size_t(bytes.size())));
        QCOMPARE(f.holdForReading(), 0);
        if (swapped) {
            QVERIFY(QFile::copy(TVO_EVIL_LIBRARY, p("t/planted.so")));
            QCOMPARE(renameOver(p("t/planted.so"), name), !kHeldFilesStay);
        }
        void *lib = loadWrittenLibrary(drivePath, f);
        if (lib)
            freeLibrary(lib);
        const bool planted = swapped && !kHeldFilesStay;
        QCOMPARE(lib != nullptr, !planted);
        QCOMPARE(QFileInfo::exists(marker), !swapped);
        if (planted)
            QVERIFY2(lastLibraryError().contains("replaced"), qPrintable(lastLibraryError()));
    }

    // A library loaded earlier through a descriptor number that is free again
    // does not stand in for the file now written with that number.
    void aReusedDescriptorLoadsTheNewFile()
    {
#ifdef Q_OS_WIN
        QSKIP("a loaded library's file cannot be removed there, and no file is opened by its handle's number");
#endif
        qputenv("TVO_TEST_MARKER", p("outside/marker").toUtf8());
        setDriveRoot('W', p("t"));
        const auto writeLibrary = [&](TempFile &f, const char *from) {
            QCOMPARE(f.create(s(p("t/TVOUNRAR.DLL"))), 0);
            QFile source(from);
            QVERIFY(source.open(QIODevice::ReadOnly));
            const QByteArray bytes = source.readAll();
            QVERIFY(writeAll(f.fd(), bytes.constData(), size_t(bytes.size())));
        };
        TempFile first, second;
        writeLibrary(first, TVO_EVIL_LIBRARY);
        void *kept = loadWrittenLibrary("W:\\TVOUNRAR.DLL", first); // stays loaded, as if it could not be unloaded
        QVERIFY(kept);
        const NativeFile number = first.fd();
        first.remove();
        writeLibrary(second, TVO_UNRAR_LIBRARY);
        QCOMPARE(second.fd(), number);
        void *lib = loadWrittenLibrary("W:\\TVOUNRAR.DLL", second);
        QVERIFY(lib);
        QVERIFY(lib != kept);
        QVERIFY(librarySymbol(lib, "RARGetDllVersion")); // only the real library has it
        freeLibrary(lib);
        freeLibrary(kept);
    }
};

QTEST_GUILESS_MAIN(TestTempFile)
#include "tst_tempfile.moc"
