#include "drives.h"
#include "files.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace platform;

class TestDrives : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    QString home;

    // The drive of the temporary folder among the system's (Windows).
    QString letterOfTmp() const { return tmp.path().left(1).toUpper(); }
    // The host form a row's expectation is compared in.
    static QString hostForm(const QString &host)
    {
        if (host.isEmpty())
            return host;
#ifdef Q_OS_WIN
        const QString p = QDir::toNativeSeparators(QDir::cleanPath(host));
        return p.size() == 2 && p[1] == ':' ? p + '\\' : p; // a root keeps its backslash
#else
        return QDir::cleanPath(host);
#endif
    }

private slots:
    void init()
    {
        resetDrives();
        home = QDir::cleanPath(QDir::homePath());
        setDriveRoot('D', tmp.path());
    }
    void cleanup()
    {
        resetDrives();
        QDir::setCurrent(home);
    }

    void defaultTable()
    {
        resetDrives();
#ifdef Q_OS_WIN
        // The system's letters: each listed one has its root, the others none.
        const QList<QChar> letters = driveLetters();
        QVERIFY(letters.contains(letterOfTmp()[0]));
        for (char c = 'A'; c <= 'Z'; ++c)
            QCOMPARE(driveRoot(QChar(c).toLower()).isEmpty(), !letters.contains(QChar(c)));
        QCOMPARE(driveRoot(letterOfTmp()[0].toLower()), letterOfTmp() + ":\\");
        return;
#endif
        QCOMPARE(driveRoot('C'), home);
        QCOMPARE(driveRoot('z'), QStringLiteral("/"));
        QVERIFY(driveRoot('Q').isEmpty());
        QVERIFY(driveLetters().contains(QChar('C')));
    }

    void toHost_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("host"); // "~" = home, "@" = D:'s folder, "." = cwd (D:\sub)
        // Windows: "=" the same, "linux" a row about Linux's table, else what
        // Windows gives.
        QTest::addColumn<QString>("onWindows");
        QTest::newRow("C root") << "C:\\" << "~" << "C:\\";
        QTest::newRow("C folder") << "C:\\TVO-DEMO\\" << "~/TVO-DEMO" << "C:\\TVO-DEMO";
        QTest::newRow("lower case") << "c:\\tvo-demo\\a.txt" << "~/tvo-demo/a.txt" << "C:\\tvo-demo\\a.txt";
        QTest::newRow("Z is root") << "Z:\\etc\\hosts" << "/etc/hosts" << "linux";
        QTest::newRow("mapped D") << "D:\\x\\y" << "@/x/y" << "=";
        QTest::newRow("forward slashes") << "D:/x/y" << "@/x/y" << "=";
        QTest::newRow("dotdot clamps") << "D:\\..\\..\\x" << "@/x" << "=";
        QTest::newRow("dotdot inside") << "D:\\a\\b\\..\\c" << "@/a/c" << "=";
        QTest::newRow("dotdot to the drive") << "D:\\a\\.." << "@" << "=";
        QTest::newRow("dots and doubled") << "D:\\.\\a\\\\b/./c\\" << "@/a/b/c" << "=";
        QTest::newRow("dotdot on Z") << "Z:\\etc\\..\\..\\tmp" << "/tmp" << "linux";
        QTest::newRow("only Z") << "Z:\\..\\." << "/" << "linux";
        QTest::newRow("relative") << "f.txt" << "./f.txt" << "=";
        QTest::newRow("relative up") << "..\\g" << "./../g" << "=";
        QTest::newRow("rooted") << "\\top\\f" << "@/top/f" << "=";
        QTest::newRow("drive relative") << "D:f" << "./f" << "=";
        QTest::newRow("unmapped") << "Q:\\x" << "" << "=";
        QTest::newRow("share") << "\\\\srv\\share\\x" << "" << "=";
        // A device's name is no file: a folder or file so named would be the device.
        QTest::newRow("device name") << "D:\\x\\NUL" << "@/x/NUL" << "";
        QTest::newRow("device path") << "\\\\.\\C:\\x" << "" << "=";
    }
    void toHost()
    {
        QFETCH(QString, path);
        QFETCH(QString, host);
        QFETCH(QString, onWindows);
        QVERIFY(QDir().mkpath(tmp.path() + "/sub"));
        QVERIFY(QDir::setCurrent(tmp.path() + "/sub"));
        QString root = QDir::cleanPath(tmp.path());
#ifdef Q_OS_WIN
        if (onWindows == "linux")
            QSKIP("Linux's drive table: C: the home folder, Z: the root");
        if (onWindows != "=")
            host = onWindows;
#endif
        QCOMPARE(currentDrive(), QChar('D'));
        host.replace(QRegularExpression("^~"), home);
        host.replace(QRegularExpression("^@"), root);
        host.replace(QRegularExpression("^\\.(?=/|$)"), QDir::cleanPath(tmp.path()) + "/sub");
        QCOMPARE(toHostPath(path), hostForm(host));
    }

    void currentDriveIsLongestPrefix()
    {
#ifndef Q_OS_WIN // Windows has no drive on "/"
        QVERIFY(QDir::setCurrent("/"));
        QCOMPARE(currentDrive(), QChar('Z'));
#endif
        QVERIFY(QDir::setCurrent(home));
        QCOMPARE(currentDrive(), QChar('C'));
        QVERIFY(QDir::setCurrent(tmp.path()));
        QCOMPARE(currentDrive(), QChar('D'));
    }

    void toDrive_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("drive");
        QTest::addColumn<bool>("linuxOnly"); // about Linux's table
        QTest::newRow("home") << "~" << "C:\\" << true;
        QTest::newRow("under home") << "~/a/b" << "C:\\a\\b" << true;
        QTest::newRow("root") << "/" << "Z:\\" << true;
        QTest::newRow("etc") << "/etc/hosts" << "Z:\\etc\\hosts" << true;
        QTest::newRow("mapped") << "@/q" << "D:\\q" << false;
        QTest::newRow("the drive itself") << "@" << "D:\\" << false;
        QTest::newRow("a folder with its separator") << "@/q/r/" << "D:\\q\\r" << false;
    }
    void toDrive()
    {
        QFETCH(QString, host);
        QFETCH(QString, drive);
        QFETCH(bool, linuxOnly);
        QString root = tmp.path();
#ifdef Q_OS_WIN
        if (linuxOnly)
            QSKIP("Linux's drive table: C: the home folder, Z: the root");
#endif
        host.replace(QRegularExpression("^~"), home);
        host.replace(QRegularExpression("^@/?"), root + "/");
        QCOMPARE(toDrivePath(host), drive);
        QCOMPARE(toHostPath(drive), hostForm(host));
    }

    void attributes()
    {
        QFile f(tmp.path() + "/.hidden");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
#ifdef Q_OS_WIN
        // The attributes are the file's own, set as given (no name hides a file).
        QFile plain(tmp.path() + "/attrs.txt");
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString p = "D:\\attrs.txt";
        QVERIFY(setFileAttributes(p, faHidden | faArchive));
        QCOMPARE(fileAttributes(p), faHidden | faArchive);
        QVERIFY(setFileAttributes(p, faReadOnly | faArchive));
        QCOMPARE(fileAttributes(p), faArchive | faReadOnly);
        QVERIFY(setFileAttributes(p, 0));
#else
        QCOMPARE(fileAttributes("D:\\.hidden"), faHidden | faArchive);
        QVERIFY(setFileAttributes("D:\\.hidden", faReadOnly));
        QCOMPARE(fileAttributes("D:\\.hidden"), faHidden | faArchive | faReadOnly);
        QVERIFY(setFileAttributes("D:\\.hidden", 0));
#endif
        QCOMPARE(fileAttributes("D:\\"), int(faDirectory));
        QCOMPARE(fileAttributes("D:\\missing"), -1);
        QCOMPARE(fileAttributes("Q:\\"), -1);
        QVERIFY(!setFileAttributes("D:\\missing", 0));
    }

    void dosDateTime_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QDateTime>("packed");
        QTest::newRow("odd second") << QDateTime(QDate(2010, 5, 17), QTime(13, 45, 31))
                                    << QDateTime(QDate(2010, 5, 17), QTime(13, 45, 30));
        QTest::newRow("before 1980") << QDateTime(QDate(1970, 1, 2), QTime(0, 0))
                                     << QDateTime(QDate(1980, 1, 1), QTime(0, 0));
        QTest::newRow("after 2107") << QDateTime(QDate(2200, 6, 1), QTime(12, 0))
                                    << QDateTime(QDate(2107, 12, 31), QTime(23, 59, 58));
        QTest::newRow("even second, summer") << QDateTime(QDate(2026, 7, 1), QTime(8, 0, 2))
                                             << QDateTime(QDate(2026, 7, 1), QTime(8, 0, 2));
        QTest::newRow("last second of a year") << QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59))
                                               << QDateTime(QDate(2025, 12, 31), QTime(23, 59, 58));
    }
    void dosDateTime()
    {
        QFETCH(QDateTime, time);
        QFETCH(QDateTime, packed);
        QCOMPARE(fromDosDateTime(toDosDateTime(time)), packed);
        QCOMPARE(fromDosDateTime(toDosDateTime(time.toSecsSinceEpoch())), packed);
        QCOMPARE(dosRoundedTime(time.toSecsSinceEpoch()), packed.toSecsSinceEpoch());
    }

    // The free space of the file system that holds a path, or will hold it:
    // a path not made yet (a home folder among them) is answered by the
    // nearest folder above it, never taken for a full disk.
    void freeSpace_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("answers");
        QTest::newRow("a drive's folder") << "D:\\" << true;
        QTest::newRow("folders not made yet") << "D:\\not\\made\\yet\\" << true;
        QTest::newRow("a drive whose folder is not made yet") << "H:\\TVO-DEMO\\" << true;
        QTest::newRow("below a file") << "D:\\file.txt\\x\\" << true;
        QTest::newRow("a name too long") << "D:\\" + QString(300, 'X') + "\\" << true;
        QTest::newRow("no drive") << "Q:\\TVO-DEMO\\" << false;
    }
    void freeSpace()
    {
        QFETCH(QString, path);
        QFETCH(bool, answers);
        setDriveRoot('H', tmp.path() + "/no/home");
        QFile file(tmp.path() + "/file.txt");
        QVERIFY(file.open(QIODevice::WriteOnly));
        const std::int64_t reference = diskFreeBytes("D:\\");
        QVERIFY(reference > 0);
        const std::int64_t free = diskFreeBytes(path);
        if (!answers) {
            QCOMPARE(free, std::int64_t(-1));
            return;
        }
        QVERIFY2(std::abs(free - reference) < (std::int64_t(256) << 20), qPrintable(QString::number(free)));
        QVERIFY(!QFileInfo::exists(tmp.path() + "/no") && !QFileInfo::exists(tmp.path() + "/not")); // nothing made
    }
};

QTEST_GUILESS_MAIN(TestDrives)
#include "tst_drives.moc"
