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
        QCOMPARE(driveRoot('C'), home);
        QCOMPARE(driveRoot('z'), QStringLiteral("/"));
        QVERIFY(driveRoot('Q').isEmpty());
        QVERIFY(driveLetters().contains(QChar('C')));
    }

    void toHost_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("host"); // "~" = home, "@" = D:'s folder, "." = cwd (D:\sub)
        QTest::newRow("C root") << "C:\\" << "~";
        QTest::newRow("C folder") << "C:\\TVO-DEMO\\" << "~/TVO-DEMO";
        QTest::newRow("lower case") << "c:\\tvo-demo\\a.txt" << "~/tvo-demo/a.txt";
        QTest::newRow("Z is root") << "Z:\\etc\\hosts" << "/etc/hosts";
        QTest::newRow("mapped D") << "D:\\x\\y" << "@/x/y";
        QTest::newRow("dotdot clamps") << "D:\\..\\..\\x" << "@/x";
        QTest::newRow("dotdot inside") << "D:\\a\\b\\..\\c" << "@/a/c";
        QTest::newRow("dotdot to the drive") << "D:\\a\\.." << "@";
        QTest::newRow("dots and doubled") << "D:\\.\\a\\\\b/./c\\" << "@/a/b/c";
        QTest::newRow("dotdot on Z") << "Z:\\etc\\..\\..\\tmp" << "/tmp";
        QTest::newRow("only Z") << "Z:\\..\\." << "/";
        QTest::newRow("relative") << "f.txt" << "./f.txt";
        QTest::newRow("relative up") << "..\\g" << "@/g";
        QTest::newRow("rooted") << "\\top\\f" << "@/top/f";
        QTest::newRow("drive relative") << "D:f" << "./f";
        QTest::newRow("unmapped") << "Q:\\x" << "";
        QTest::newRow("share") << "\\\\srv\\share\\x" << "";
    }
    void toHost()
    {
        QFETCH(QString, path);
        QFETCH(QString, host);
        QVERIFY(QDir().mkpath(tmp.path() + "/sub"));
        QVERIFY(QDir::setCurrent(tmp.path() + "/sub"));
        QCOMPARE(currentDrive(), QChar('D'));
        host.replace(QRegularExpression("^~"), home);
        host.replace(QRegularExpression("^@"), QDir::cleanPath(tmp.path()));
        host.replace(QRegularExpression("^\\."), QDir::cleanPath(tmp.path()) + "/sub");
        QCOMPARE(toHostPath(path), host);
    }

    void currentDriveIsLongestPrefix()
    {
        QVERIFY(QDir::setCurrent("/"));
        QCOMPARE(currentDrive(), QChar('Z'));
        QVERIFY(QDir::setCurrent(home));
        QCOMPARE(currentDrive(), QChar('C'));
        QVERIFY(QDir::setCurrent(tmp.path()));
        QCOMPARE(currentDrive(), QChar('D'));
    }

    void toDrive_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("drive");
        QTest::newRow("home") << "~" << "C:\\";
        QTest::newRow("under home") << "~/a/b" << "C:\\a\\b";
        QTest::newRow("root") << "/" << "Z:\\";
        QTest::newRow("etc") << "/etc/hosts" << "Z:\\etc\\hosts";
        QTest::newRow("mapped") << "@/q" << "D:\\q";
    }
    void toDrive()
    {
        QFETCH(QString, host);
        QFETCH(QString, drive);
        host.replace(QRegularExpression("^~"), home);
        host.replace(QRegularExpression("^@"), tmp.path());
        QCOMPARE(toDrivePath(host), drive);
        QCOMPARE(toHostPath(drive), QDir::cleanPath(host));
    }

    void attributes()
    {
        QFile f(tmp.path() + "/.hidden");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QCOMPARE(fileAttributes("D:\\.hidden"), faHidden | faArchive);
        QVERIFY(setFileAttributes("D:\\.hidden", faReadOnly));
        QCOMPARE(fileAttributes("D:\\.hidden"), faHidden | faArchive | faReadOnly);
        QVERIFY(setFileAttributes("D:\\.hidden", 0));
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
