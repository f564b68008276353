// The file input/output layer: host names that are not UTF-8 survive the
// trip through QString, and the folder walker reports each entry from one
// status call.
#include "fileio.h"
#include "files.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void makeRawFile(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY2(fd >= 0, path.constData());
    QCOMPARE(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
    ::close(fd);
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

    void walkerReportsEachEntry()
    {
        QTemporaryDir tmp;
        const QByteArray root = QFile::encodeName(tmp.path());
        makeRawFile(root + "/plik\xFF.txt", "12345");
        makeRawFile(root + "/.ukryty", "");
        QCOMPARE(::mkdir(root + "/kat\xFF", 0755), 0);
        makeRawFile(root + "/tylko", "r");
        QCOMPARE(::chmod(root + "/tylko", 0444), 0);
        QCOMPARE(::symlink("kat\xFF", root + "/link"), 0);
        QCOMPARE(::symlink("nowhere", root + "/dangling"), 0);
        struct timespec ts[2] = {{0, UTIME_OMIT}, {1262347200, 0}}; // 2010-01-01 12:00 UTC
        QCOMPARE(::utimensat(AT_FDCWD, root + "/plik\xFF.txt", ts, 0), 0);

        platform::FolderWalker dir(tmp.path());
        QVERIFY(dir.isOpen());
        QVERIFY(dir.canEnter());
        QVERIFY(dir.folderStatus().isFolder());
        QMap<QByteArray, platform::FileStatus> seen;
        QByteArray raw;
        platform::FolderWalker::Kind kind;
        while (dir.next(raw, &kind)) {
            seen.insert(raw, dir.status(raw));
            // What the listing tells of the kind never contradicts the status
            // (file systems may leave it unknown).
            if (kind == platform::FolderWalker::KindFolder)
                QVERIFY2(seen.value(raw).isFolder(), raw.constData());
            if (kind == platform::FolderWalker::KindOther)
                QVERIFY2(seen.value(raw).exists() && !seen.value(raw).isFolder(), raw.constData());
            if (raw == "link" || raw == "dangling")
                QCOMPARE(kind, platform::FolderWalker::KindUnknown); // a link is asked about
        }
        QCOMPARE(seen.keys(), (QList<QByteArray>{".ukryty", "dangling", "kat\xFF", "link", "plik\xFF.txt", "tylko"}));
        using namespace platform;
        const FileStatus file = seen.value("plik\xFF.txt");
        QCOMPARE(file.attrs, int(faArchive));
        QCOMPARE(file.size, 5);
        QCOMPARE(file.mtimeSec, 1262347200);
        QCOMPARE(seen.value(".ukryty").attrs, faArchive | faHidden);
        QCOMPARE(seen.value("kat\xFF").attrs, int(faDirectory));
        QCOMPARE(seen.value("tylko").attrs, faArchive | faReadOnly);
        QVERIFY(seen.value("link").sameEntry(seen.value("kat\xFF"))); // links are followed
        QVERIFY(!seen.value("dangling").exists());
        // The names the walker gives open again through their QString form.
        const QString back = tmp.path() + '/' + hostNameFromBytes(QByteArray("plik\xFF.txt"));
        QCOMPARE(hostStatus(back).size, 5);
        FileHandle fd = openForReading(back);
        char buf[8] = {};
        QCOMPARE(readSome(fd.get(), buf, sizeof buf), 5);
        QCOMPARE(QByteArray(buf), QByteArray("12345"));
    }

    // The zone the C library uses stays the system's, a zone the user named
    // stays the user's, and a started program never sees a TZ we added.
    void localTimeZonePinned()
    {
        const time_t summer = 1751371200; // 2025-07-01 12:00 UTC
        auto localHour = [summer] {
            struct tm tm {};
            localtime_r(&summer, &tm);
            return tm.tm_hour;
        };
        qputenv("TZ", "Asia/Tokyo");
        tzset();
        platform::pinLocalTimeZone(); // named by the user: left alone
        QCOMPARE(qgetenv("TZ"), QByteArray("Asia/Tokyo"));
        QCOMPARE(platform::environmentForChildren().value("TZ"), QStringLiteral("Asia/Tokyo"));

        qunsetenv("TZ");
        tzset();
        const int systemHour = localHour();
        platform::pinLocalTimeZone();
        QCOMPARE(qgetenv("TZ"), QByteArray(":/etc/localtime"));
        QCOMPARE(localHour(), systemHour);
        QVERIFY(!platform::environmentForChildren().contains("TZ"));
        platform::pinLocalTimeZone(); // once is enough
        QCOMPARE(qgetenv("TZ"), QByteArray(":/etc/localtime"));
        qunsetenv("TZ");
        tzset();
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
        platform::FileHandle fd = platform::createFile(QStringLiteral("/dev/full"));
        QVERIFY(fd.get() >= 0);
        QVERIFY(!platform::writeAll(fd.get(), "abc", 3));
    }
};

QTEST_MAIN(TestFileIo)
#include "tst_fileio.moc"
