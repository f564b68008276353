// The file input/output layer: host names that are not UTF-8 survive the
// trip through QString, the folder walker reports each entry from one status
// call, attributes are applied as each system carries them, and on Windows
// others may read what the program has open, never write it.
#include "drives.h"
#include "fileio.h"
#include "files.h"
#include "names.h"
#include "hostfixtures.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <ctime>
#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace platform;

// A name that the system gives as it is, byte for byte: bytes that are not
// UTF-8 where names are bytes, UTF-8 of a UTF-16 name on Windows.
#ifdef Q_OS_WIN
const QByteArray kOddName = "plik\xC5\xBC.txt";
#else
const QByteArray kOddName = "plik\xFF.txt";
#endif

QString hostOf(const QString &folder, const QByteArray &rawName)
{
    return QDir::toNativeSeparators(folder + '/' + hostNameFromBytes(rawName));
}

// A file of 2010-01-01 12:00 UTC, made by other means than the layer tested.
void makeFile(const QString &folder, const QByteArray &rawName, const QByteArray &content)
{
#ifdef Q_OS_WIN
    QFile f(hostOf(folder, rawName));
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), rawName.constData());
    QCOMPARE(f.write(content), content.size());
    QVERIFY(f.flush());
    // Qt sets a time only on an open file here.
    QVERIFY(f.setFileTime(QDateTime::fromSecsSinceEpoch(1262347200, Qt::UTC), QFileDevice::FileModificationTime));
    f.close();
#else
    const QByteArray path = QFile::encodeName(folder) + '/' + rawName;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY2(fd >= 0, path.constData());
    QCOMPARE(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
    ::close(fd);
    struct timespec ts[2] = {{0, UTIME_OMIT}, {1262347200, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, path.constData(), ts, 0), 0);
#endif
}

int localHour(time_t t)
{
    struct tm tm {};
#ifdef Q_OS_WIN
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    return tm.tm_hour;
}

} // namespace

class TestFileIo : public QObject {
    Q_OBJECT

private slots:
    void namesRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("raw"); // holds bytes that are not UTF-8
        QTest::newRow("ascii") << QByteArray("TVODEMO.EXE") << false;
        QTest::newRow("ascii edges") << QByteArray("\x01a\x7F") << false; // a byte a character up to 0x7F
        QTest::newRow("ascii then utf-8") << QByteArray("TVO\xC5\xBC") << false;
        QTest::newRow("polish utf-8") << QByteArray("za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87") << false;
        QTest::newRow("four-byte utf-8") << QByteArray("a\xF0\x9F\x98\x80z") << false;
        QTest::newRow("byte ff") << QByteArray("plik\xFF.txt") << true;
        QTest::newRow("cp1250 polish") << QByteArray("cen\xB9\xEA\x9C\x9F.dbf") << true;
        QTest::newRow("overlong slash") << QByteArray("a\xC0\xAF" "b") << true;
        QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80x") << true;
        QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << true;
        QTest::newRow("cut at the end") << QByteArray("ab\xC5") << true;
        QTest::newRow("lone continuation") << QByteArray("\x80\xBF") << true;
        QTest::newRow("valid then raw") << QByteArray("\xC5\xBC\xFF\xC5\xBC") << true;
    }
    void namesRoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, raw);
        const QString name = platform::hostNameFromBytes(bytes);
        QCOMPARE(platform::hostNameBytes(name), bytes);
        QCOMPARE(platform::hasRawBytes(name), raw);
        if (!raw)
            QCOMPARE(name, QString::fromUtf8(bytes));
    }

    void textWithoutRawBytesIsUtf8()
    {
        // A lone surrogate outside the raw-byte range has no bytes of its
        // own: it is written as UTF-8 would write it, never as a raw byte.
        const QString odd = QString(QChar(0xD800)) + "x";
        QCOMPARE(platform::hostNameBytes(odd), odd.toUtf8());
        QCOMPARE(platform::hostNameBytes(QStringLiteral("Żółw")), QStringLiteral("Żółw").toUtf8());
    }

    // Each kind of entry as the walker lists it and as its status tells it,
    // next to a folder that the links lead to.
    void walkerReportsEachEntry_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("make");
        QTest::addColumn<int>("attrs"); // -1: no status
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("kind"); // as the listing gives it; -1: either known kind or unknown
        const int file = FolderWalker::KindOther, folder = FolderWalker::KindFolder;
        QTest::newRow("file") << kOddName << "file" << int(faArchive) << 5 << file;
        QTest::newRow("folder") << QByteArray("kat") << "folder" << int(faDirectory) << 0 << folder;
        QTest::newRow("read-only file") << QByteArray("tylko") << "read-only" << (faArchive | faReadOnly) << 5 << file;
#ifdef Q_OS_WIN
        // Hidden is an attribute of its own here; a dot starts a name like any
        // letter (but for Wine, which shows a host's dot file as hidden).
        QTest::newRow("dot name") << QByteArray(".ukryty") << "file"
                                  << (runsUnderWine() ? faArchive | faHidden : int(faArchive)) << 5 << file;
        QTest::newRow("hidden file") << QByteArray("ukryty") << "hidden" << (faArchive | faHidden) << 5 << file;
        QTest::newRow("system file") << QByteArray("sys") << "system" << (faArchive | faSysFile) << 5 << file;
#else
        QTest::newRow("dot name") << QByteArray(".ukryty") << "file" << (faArchive | faHidden) << 5 << file;
#endif
        // A link is asked about (the listing tells the link, not what it leads to).
        QTest::newRow("link to a folder") << QByteArray("link") << "link" << int(faDirectory) << 0
                                          << int(FolderWalker::KindUnknown);
        QTest::newRow("dangling link") << QByteArray("dangling") << "dangling" << -1 << 0 << int(FolderWalker::KindUnknown);
    }
    void walkerReportsEachEntry()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, make);
        QFETCH(int, attrs);
        QFETCH(int, size);
        QFETCH(int, kind);
        QTemporaryDir tmp;
        const QString target = tmp.path() + QStringLiteral("/cel");
        QVERIFY(QDir().mkpath(target));
        const QString path = hostOf(tmp.path(), name);
        const auto removeRawName = qScopeGuard([&] { // a name that is not UTF-8 is not Qt's to remove
#ifndef Q_OS_WIN
            ::unlink((QFile::encodeName(tmp.path()) + '/' + name).constData());
#endif
        });
        if (make == "folder") {
            QVERIFY(makeFolder(path));
        } else if (make == "link" || make == "dangling") {
            if (!makeSymbolicLink(make == "link" ? target : tmp.path() + "/nowhere", path, true))
                QSKIP(kNoLinksHere);
        } else {
            makeFile(tmp.path(), name, "12345");
        }
        if (make == "read-only")
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
#ifdef Q_OS_WIN
        if (make == "hidden" || make == "system")
            QVERIFY(SetFileAttributesW(path.toStdWString().c_str(),
                                       make == "hidden" ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_SYSTEM));
#endif

        FolderWalker dir(tmp.path());
        QVERIFY(dir.isOpen());
        QVERIFY(dir.canEnter());
        QVERIFY(dir.folderStatus().isFolder());
        QMap<QByteArray, FileStatus> seen;
        QByteArray raw;
        FolderWalker::Kind k;
        int listed = -1;
        while (dir.next(raw, &k)) {
            seen.insert(raw, dir.status(raw));
            if (raw == name)
                listed = k;
        }
        QList<QByteArray> names{"cel", name};
        std::sort(names.begin(), names.end());
        QCOMPARE(seen.keys(), names);
        // What the listing tells of the kind never contradicts the status
        // (file systems may leave it unknown); a link is always asked about.
        if (kind == FolderWalker::KindUnknown)
            QCOMPARE(listed, kind);
        else
            QVERIFY(listed == kind || listed == FolderWalker::KindUnknown);
        const FileStatus st = seen.value(name);
        QCOMPARE(st.attrs, attrs);
        if (attrs >= 0 && !(attrs & faDirectory)) {
            QCOMPARE(st.size, size);
            QCOMPARE(st.mtimeSec, 1262347200);
        }
        // The status of a folder carries its identity: a link leads to it.
        if (make == "link")
            QVERIFY(st.sameEntry(seen.value("cel")));
        else
            QVERIFY(!st.sameEntry(seen.value("cel")));
        // The name the walker gives opens again through its QString form.
        if (make != "file")
            return;
        QCOMPARE(hostStatus(path).size, 5);
        FileHandle fd = openForReading(path);
        char buf[8] = {};
        QCOMPARE(readSome(fd.get(), buf, sizeof buf), 5);
        QCOMPARE(QByteArray(buf), QByteArray("12345"));
    }

    // The zone the C library uses stays the system's, a zone the user named
    // stays the user's, and a started program never sees a TZ we added.
    void localTimeZonePinned_data()
    {
        QTest::addColumn<QByteArray>("named"); // TZ before; empty: not set
        QTest::addColumn<QByteArray>("pinned"); // TZ after; empty: not set
        QTest::newRow("named by the user") << QByteArray("Asia/Tokyo") << QByteArray("Asia/Tokyo");
#ifdef Q_OS_WIN
        // The C runtime reads TZ in a format of its own: never set.
        QTest::newRow("none named") << QByteArray() << QByteArray();
#else
        QTest::newRow("none named") << QByteArray() << QByteArray(":/etc/localtime");
#endif
    }
    void localTimeZonePinned()
    {
        QFETCH(QByteArray, named);
        QFETCH(QByteArray, pinned);
        const time_t summer = 1751371200; // 2025-07-01 12:00 UTC
        if (named.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", named);
        tzset();
        const int before = localHour(summer);
        for (int i = 0; i < 2; ++i) { // once is enough
            pinLocalTimeZone();
            QCOMPARE(qgetenv("TZ"), pinned);
            QCOMPARE(qEnvironmentVariableIsSet("TZ"), !pinned.isEmpty());
            QCOMPARE(localHour(summer), before);
        }
        QCOMPARE(environmentForChildren().value("TZ").toUtf8(), named);
        QCOMPARE(environmentForChildren().contains("TZ"), !named.isEmpty());
        qunsetenv("TZ");
        tzset();
    }

    // What each attribute does to an existing file, read back through the
    // drive-form path and the host path.
    void attributesApplied_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("expected"); // -1: setting fails, the file is missing
#ifdef Q_OS_WIN
        const int carried = faHidden | faSysFile; // every attribute is the system's own
        const int archive = runsUnderWine() ? int(faArchive) : 0;
#else
        const int carried = 0, archive = faArchive; // read-only has a carrier; every regular file is archived
#endif
        QTest::newRow("read-only") << QByteArray("f.txt") << (faReadOnly | faArchive) << (faReadOnly | faArchive);
        QTest::newRow("writable") << QByteArray("f.txt") << int(faArchive) << int(faArchive);
        QTest::newRow("hidden and system") << QByteArray("f.txt") << (faHidden | faSysFile | faArchive)
                                           << (carried | faArchive);
        QTest::newRow("none") << QByteArray("f.txt") << 0 << archive;
        QTest::newRow("read-only, not archived") << QByteArray("f.txt") << int(faReadOnly) << (faReadOnly | archive);
        QTest::newRow("missing file") << QByteArray("none.txt") << int(faArchive) << -1;
    }
    void attributesApplied()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, set);
        QFETCH(int, expected);
        QTemporaryDir tmp;
        makeFile(tmp.path(), "f.txt", "x");
#ifdef Q_OS_WIN
        const QString drive = hostOf(tmp.path(), name); // drive-form paths are the system's own
#else
        setDriveRoot('W', tmp.path());
        const QString drive = QStringLiteral("W:\\") + QString::fromUtf8(name);
#endif
        QCOMPARE(setFileAttributes(drive, set), expected >= 0);
        QCOMPARE(fileAttributes(drive), expected);
        QCOMPARE(hostStatus(hostOf(tmp.path(), name)).attrs, expected);
        setFileAttributes(drive, faArchive); // writable again, so that the folder can go
        resetDrives();
    }

    // Others may read a file the program reads or writes, never write it:
    // a copy's source stays as it was read, its target is not changed under it.
    void othersMayOnlyRead_data()
    {
        QTest::addColumn<QString>("opened");
        QTest::addColumn<bool>("otherWrites");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("read while reading") << "reading" << false << true;
        QTest::newRow("write while reading") << "reading" << true << false;
        QTest::newRow("read while writing") << "creating" << false << true;
        QTest::newRow("write while writing") << "creating" << true << false;
        QTest::newRow("write while writing a new file") << "new" << true << false;
    }
    void othersMayOnlyRead()
    {
#ifndef Q_OS_WIN
        QSKIP("opening a file locks nothing on this system: there are no sharing modes");
#else
        QFETCH(QString, opened);
        QFETCH(bool, otherWrites);
        QFETCH(bool, allowed);
        QTemporaryDir tmp;
        const QString path = hostOf(tmp.path(), "f.txt");
        if (opened != "new")
            makeFile(tmp.path(), "f.txt", "x");
        const FileHandle held = opened == "reading" ? openForReading(path)
            : opened == "creating"                  ? createFile(path)
                                                    : createNewFile(path);
        QVERIFY(held.isOpen());
        const HANDLE other = CreateFileW(path.toStdWString().c_str(), otherWrites ? GENERIC_WRITE : GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
        const DWORD err = GetLastError();
        QCOMPARE(other != INVALID_HANDLE_VALUE, allowed);
        if (other != INVALID_HANDLE_VALUE)
            CloseHandle(other);
        else
            QCOMPARE(err, DWORD(ERROR_SHARING_VIOLATION));
#endif
    }

    // A file that is there is emptied and written anew, whatever of its
    // attributes the system would otherwise make the call name.
    void createFileEmptiesWhatIsThere_data()
    {
        QTest::addColumn<int>("attrs");
        QTest::newRow("plain") << 0;
#ifdef Q_OS_WIN
        QTest::newRow("hidden") << int(FILE_ATTRIBUTE_HIDDEN);
        QTest::newRow("system") << int(FILE_ATTRIBUTE_SYSTEM);
#endif
    }
    void createFileEmptiesWhatIsThere()
    {
        QFETCH(int, attrs);
        QTemporaryDir tmp;
        makeFile(tmp.path(), "f.txt", "old content");
        const QString path = hostOf(tmp.path(), "f.txt");
#ifdef Q_OS_WIN
        if (attrs)
            QVERIFY(SetFileAttributesW(path.toStdWString().c_str(), DWORD(attrs)));
#else
        Q_UNUSED(attrs);
#endif
        {
            const FileHandle fd = createFile(path);
            QVERIFY(fd.isOpen());
            QVERIFY(writeAll(fd.get(), "new", 3));
        }
        QCOMPARE(hostStatus(path).size, 3);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("new"));
    }

    void walkerOfFolderThatCannotBeOpened()
    {
        QTemporaryDir tmp;
        QVERIFY(!platform::FolderWalker(tmp.path() + "/none").isOpen());
        QByteArray raw;
        platform::FolderWalker none(tmp.path() + "/none");
        QVERIFY(!none.next(raw));
        QVERIFY(!none.status("x").exists());
        QVERIFY(!platform::FolderWalker(QString()).isOpen());
    }

    void writeAllReportsAFullDisk()
    {
#ifdef Q_OS_WIN
        QSKIP("no device here is always full");
#endif
        platform::FileHandle fd = platform::createFile(QStringLiteral("/dev/full"));
        QVERIFY(fd.get() >= 0);
        QVERIFY(!platform::writeAll(fd.get(), "abc", 3));
    }

    // Names Windows cannot hold, refused with the part at fault; checked on
    // every system, refused by the installer only where the system is Windows.
    void windowsNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("fault"); // "" the name is fine
        QTest::newRow("plain") << "Dane\\Cenniki\\poz001.txt" << "";
        QTest::newRow("Polish letters, spaces inside") << "Przykłady/kosztorys źródłowy.tvo" << "";
        QTest::newRow("dots inside and leading") << ".ukryty/a.b.c" << "";
        QTest::newRow("a device name's prefix") << "CONSOLE.txt" << "";
        QTest::newRow("COM0 is no device") << "COM0" << "";
        QTest::newRow("CON") << "CON" << "CON";
        QTest::newRow("aux.txt") << "Dane/aux.txt" << "aux.txt";
        QTest::newRow("nul, any case") << "Nul.tar.gz" << "Nul.tar.gz";
        QTest::newRow("COM9 as a folder") << "COM9\\plik" << "COM9";
        QTest::newRow("lpt1") << "lpt1" << "lpt1";
        QTest::newRow("question mark") << "a?b" << "a?b";
        QTest::newRow("colon") << "Dane/c:d" << "c:d";
        QTest::newRow("less, greater, bar, quote, star") << "x<y>|\"*" << "x<y>|";
        QTest::newRow("control character") << QString("a") + QChar(7) + "b" << "a";
        QTest::newRow("trailing dot") << "x." << "x.";
        QTest::newRow("trailing space") << "Dane /plik" << "Dane ";
        QTest::newRow("empty part") << "Dane//plik" << "pusta";
    }
    void windowsNames()
    {
        QFETCH(QString, path);
        QFETCH(QString, fault);
        const QString problem = platform::windowsNameProblem(path);
        QCOMPARE(problem.isEmpty(), fault.isEmpty());
        QVERIFY2(problem.contains(fault), qPrintable(problem));
#ifdef Q_OS_WIN
        QCOMPARE(platform::hostNameProblem(path), problem);
#else
        QVERIFY(platform::hostNameProblem(path).isEmpty());
#endif
    }

    void letterCaseTwins_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QStringList>("twins");
        QTest::newRow("none") << QStringList{"A/b", "A/c", "B"} << QStringList{};
        QTest::newRow("the same path twice is one") << QStringList{"A\\b", "A/b"} << QStringList{};
        QTest::newRow("files") << QStringList{"Dane/Plik.txt", "x", "dane/plik.TXT"}
                               << QStringList{"Dane/Plik.txt", "dane/plik.TXT"};
        QTest::newRow("Polish letters") << QStringList{"ŻÓŁW", "żółw"} << QStringList{"ŻÓŁW", "żółw"};
    }
    void letterCaseTwins()
    {
        QFETCH(QStringList, paths);
        QTEST(platform::letterCaseTwins(paths), "twins");
    }

    // A file another program holds without sharing is in use; one it shares
    // writing of, or nobody holds, is not (Linux: never).
    void fileInUse()
    {
        QTemporaryDir tmp;
        const QString file = tmp.path() + "/held.txt";
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("x") == 1);
        f.close();
        QVERIFY(!platform::fileInUse(file));
        QVERIFY(!platform::fileInUse(tmp.path() + "/missing.txt"));
#ifdef Q_OS_WIN
        const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(file).utf16()),
                                     GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        QVERIFY(h != INVALID_HANDLE_VALUE);
        QVERIFY(platform::fileInUse(file));
        CloseHandle(h);
        QVERIFY(!platform::fileInUse(file));
#endif
    }
};

QTEST_MAIN(TestFileIo)
#include "tst_fileio.moc"
