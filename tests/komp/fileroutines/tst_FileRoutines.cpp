#include "AppCore.h"
#include "Exceptions.h"
#include "FileRoutines.h"
#include "Gauges.h"
#include "drives.h"
#include "fileio.h"
#include "files.h"
#include "log.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#ifndef Q_OS_WIN
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// A gauge that logs every value given to its three progress properties and
// passes it on to the gauge's own setters. Being derived from TGauge, it is
// driven through TGauge's registration.
class RecordingGauge : public TGauge {
    Q_OBJECT
    Q_PROPERTY(qint32 MaxValue READ maxValue WRITE recMax)
    Q_PROPERTY(qint32 MinValue READ minValue WRITE recMin)
    Q_PROPERTY(qint32 Progress READ progress WRITE recPos)
public:
    QStringList log;
    void recMax(qint32 v) { log << QString("max %1").arg(v), setMaxValue(v); }
    void recMin(qint32 v) { log << QString("min %1").arg(v), setMinValue(v); }
    void recPos(qint32 v) { log << QString("pos %1").arg(v), setProgress(v); }
};

// Neither registered nor derived from a registered class.
class OtherControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Progress MEMBER progress)
    Q_PROPERTY(QString value MEMBER text)
public:
    int progress = 7;
    QString text;
};

class TestFileRoutines : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> tmp;
    QString host(const QString &rel) const { return tmp->path() + '/' + rel; }
    // A drive of Linux is a folder that may not be made yet (the home folder
    // of a new user); a Windows drive's root is always there.
    static bool driveFoldersMayBeMissing()
    {
#ifdef Q_OS_WIN
        return false;
#else
        return true;
#endif
    }

    QByteArray makeFile(const QString &rel, qint64 size)
    {
        QByteArray data(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            data[i] = char(QRandomGenerator::global()->generate());
        QFile f(host(rel));
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != size)
            qFatal("cannot write fixture %s", qPrintable(rel));
        return data;
    }
    QByteArray contents(const QString &rel) const
    {
        QFile f(host(rel));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Runs the copy and returns the exception's kind and message ("" on success).
    static QString copy(const QString &src, const QString &dst, QObject *control)
    {
        try {
            CopyFileWithProgress(src, dst, control);
        } catch (const EFOpenError &e) {
            return "EFOpenError: " + e.message();
        } catch (const EFCreateError &e) {
            return "EFCreateError: " + e.message();
        } catch (const EReadError &e) {
            return "EReadError: " + e.message();
        } catch (const EWriteError &e) {
            return "EWriteError: " + e.message();
        }
        return {};
    }

private slots:
    void initTestCase() { App::initModules(); }
    void init()
    {
        tmp = std::make_unique<QTemporaryDir>();
        platform::setDriveRoot('T', tmp->path());
    }
    void cleanup()
    {
        QDir::setCurrent(QDir::homePath());
        platform::resetDrives();
        // Read-only entries the rows left would keep the folder from going.
        QDirIterator it(tmp->path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            QFile::setPermissions(p, QFile::permissions(p) | QFile::WriteOwner);
        }
        tmp.reset();
    }

    void normalizeDirName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << "" << "";
        QTest::newRow("lower letter") << "d" << "d:\\";
        QTest::newRow("upper letter") << "D" << "D:\\";
        QTest::newRow("digit") << "5" << "5\\";
        QTest::newRow("non-ASCII letter") << "ą" << "ą\\";
        QTest::newRow("bare drive") << "C:" << "C:";
        QTest::newRow("drive root") << "C:\\" << "C:\\";
        QTest::newRow("folder") << "C:\\TVO-DEMO" << "C:\\TVO-DEMO\\";
        QTest::newRow("folder with separator") << "C:\\TVO-DEMO\\" << "C:\\TVO-DEMO\\";
        QTest::newRow("two letters") << "ab" << "ab\\";
    }
    void normalizeDirName()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(NormalizeDirName(name), expected);
    }

    void createFolderPath_data()
    {
        QTest::addColumn<QStringList>("existing"); // folders, or "file:" + name
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("expected"); // every folder afterwards
        QTest::newRow("missing parents") << QStringList{"A"} << "T:\\A\\B\\C\\" << QStringList{"A", "A/B", "A/B/C"};
        QTest::newRow("all present") << QStringList{"A/B/C"} << "T:\\A\\B\\C\\"
                                     << QStringList{"A", "A/B", "A/B/C"};
        QTest::newRow("no separator at end") << QStringList{} << "T:\\X\\Y" << QStringList{"X", "X/Y"};
        QTest::newRow("bare drive") << QStringList{} << "T:" << QStringList{};
        QTest::newRow("drive root") << QStringList{} << "T:\\" << QStringList{};
        if (driveFoldersMayBeMissing())
            QTest::newRow("drive whose folder is not made yet") // H: is T:\home\user
                << QStringList{} << "H:\\TVO-DEMO\\" << QStringList{"home", "home/user", "home/user/TVO-DEMO"};
        QTest::newRow("relative") << QStringList{} << "rel\\sub" << QStringList{"rel", "rel/sub"};
        QTest::newRow("file in the way") << QStringList{"file:F"} << "T:\\F\\G\\H" << QStringList{};
        QTest::newRow("empty") << QStringList{} << "" << QStringList{};
    }
    void createFolderPath()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, path);
        QFETCH(QStringList, expected);
        for (const QString &e : existing)
            e.startsWith("file:") ? void(makeFile(e.mid(5), 1)) : void(QDir().mkpath(host(e)));
        QVERIFY(QDir::setCurrent(tmp->path()));
        platform::setDriveRoot('H', tmp->path() + "/home/user");
        CreateFolderPath(path);
        QStringList found;
        QDirIterator it(tmp->path(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << QDir(tmp->path()).relativeFilePath(it.next());
        found.sort();
        QCOMPARE(found, expected);
        if (!expected.isEmpty())
            QVERIFY(FolderExists(path));
    }

    void folderExists_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("exists");
        QTest::newRow("folder") << "T:\\dir" << true;
        QTest::newRow("folder with separator") << "T:\\dir\\" << true;
        QTest::newRow("drive root") << "T:\\" << true;
        QTest::newRow("file") << "T:\\file" << false;
        QTest::newRow("missing") << "T:\\nothing" << false;
        QTest::newRow("unmapped drive") << "Q:\\dir" << false;
    }
    void folderExists()
    {
        QFETCH(QString, path);
        QFETCH(bool, exists);
        QDir().mkpath(host("dir"));
        makeFile("file", 3);
        QCOMPARE(FolderExists(path), exists);
    }

    // Content, last-write time and what the control was told.
    void copy_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("positions"); // after max, min and pos 0
        QTest::addColumn<bool>("targetThere"); // a longer file, overwritten without question
        QTest::newRow("empty") << qint64(0) << "0" << true;
        QTest::newRow("one byte") << qint64(1) << "1" << true;
        QTest::newRow("one block") << qint64(8192) << "8192 8192" << true;
        QTest::newRow("block and a byte") << qint64(8193) << "8192 8193" << true;
        QTest::newRow("three blocks and some") << qint64(3 * 8192 + 5) << "8192 16384 24576 24581" << true;
        QTest::newRow("empty, new target") << qint64(0) << "0" << false;
        QTest::newRow("block and a byte, new target") << qint64(8193) << "8192 8193" << false;
    }
    void copy()
    {
        QFETCH(qint64, size);
        QFETCH(QString, positions);
        QFETCH(bool, targetThere);
        const QByteArray data = makeFile("src.bin", size);
        const QDateTime stamp(QDate(2009, 5, 17), QTime(10, 20, 31, 700));
        QVERIFY(platform::setLastWriteTime("T:\\src.bin", stamp));
        if (targetThere)
            makeFile("dst.bin", 50000);
        RecordingGauge g;
        g.setProgress(40);
        QCOMPARE(copy("T:\\src.bin", "T:\\dst.bin", &g), QString());
        QCOMPARE(contents("dst.bin"), data);
        QCOMPARE(platform::lastWriteTime("T:\\dst.bin"), QDateTime(QDate(2009, 5, 17), QTime(10, 20, 30)));
        QStringList expected{QString("max %1").arg(size), "min 0", "pos 0"};
        for (const QString &p : positions.split(' '))
            expected << "pos " + p;
        expected << "pos 0";
        QCOMPARE(g.log, expected);
        QCOMPARE(g.progress(), 0);
    }

    void copyIntoFolder_data()
    {
        QTest::addColumn<QString>("dest");
        QTest::addColumn<QString>("landed");
        QTest::newRow("existing folder") << "T:\\out" << "out/a.txt";
        QTest::newRow("existing folder with separator") << "T:\\out\\" << "out/a.txt";
        QTest::newRow("missing folders are made") << "T:\\new\\deep\\b.txt" << "new/deep/b.txt";
    }
    void copyIntoFolder()
    {
        QFETCH(QString, dest);
        QFETCH(QString, landed);
        const QByteArray data = makeFile("a.txt", 100);
        QDir().mkpath(host("out"));
        QCOMPARE(copy("T:\\a.txt", dest, nullptr), QString());
        QCOMPARE(contents(landed), data);
    }

    // Only the execute permission travels; a read-only source gives a writable copy.
    void permissions_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("expected");
        QTest::newRow("program") << 0755 << 0755;
        QTest::newRow("owner-only program") << 0700 << 0744;
        QTest::newRow("read-only program") << 0555 << 0755;
        QTest::newRow("plain file") << 0644 << 0644;
        QTest::newRow("read-only file") << 0444 << 0644;
    }
    void permissions()
    {
        QFETCH(int, source);
        QFETCH(int, expected);
#ifdef Q_OS_WIN
        // Of the modes Windows keeps only the read-only attribute.
        makeFile("p.bin", 10);
        QVERIFY(platform::setFileAttributes("T:\\p.bin", (source & 0200) ? 0 : int(platform::faReadOnly)));
        QCOMPARE(copy("T:\\p.bin", "T:\\q.bin", nullptr), QString());
        QCOMPARE(platform::fileAttributes("T:\\q.bin") & platform::faReadOnly, (expected & 0200) ? 0 : 1);
#else
        const mode_t old = ::umask(022);
        makeFile("p.bin", 10);
        QVERIFY(::chmod(host("p.bin").toUtf8().constData(), mode_t(source)) == 0);
        QCOMPARE(copy("T:\\p.bin", "T:\\q.bin", nullptr), QString());
        ::umask(old);
        struct stat st {};
        QVERIFY(::stat(host("q.bin").toUtf8().constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 07777), expected);
#endif
    }

    // Failures before the copy loop: message, target untouched, control log.
    void refused_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("dest");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("missing source") << "T:\\none.bin" << "T:\\dst.bin"
                                        << "EFOpenError: Cannot open file T:\\none.bin" << QStringList{"pos 0"};
        QTest::newRow("source is a folder") << "T:\\dir" << "T:\\dst.bin"
                                            << "EFOpenError: Cannot open file T:\\dir" << QStringList{"pos 0"};
        QTest::newRow("read-only target")
            << "T:\\src.bin" << "T:\\ro.bin" << "EFCreateError: Cannot create file T:\\ro.bin"
            << QStringList{"max 9000", "min 0", "pos 0", "pos 0"};
        QTest::newRow("target is the source")
            << "T:\\src.bin" << "T:\\dir\\..\\src.bin" << "EFCreateError: Cannot create file T:\\dir\\..\\src.bin"
            << QStringList{"max 9000", "min 0", "pos 0", "pos 0"};
        QTest::newRow("unmapped target drive")
            << "T:\\src.bin" << "Q:\\x.bin" << "EFCreateError: Cannot create file Q:\\x.bin"
            << QStringList{"max 9000", "min 0", "pos 0", "pos 0"};
    }
    void refused()
    {
        QFETCH(QString, source);
        QFETCH(QString, dest);
        QFETCH(QString, error);
        QFETCH(QStringList, log);
        const QByteArray src = makeFile("src.bin", 9000);
        const QByteArray old = makeFile("ro.bin", 10);
        QDir().mkpath(host("dir"));
        QVERIFY(platform::setFileAttributes("T:\\ro.bin", platform::faReadOnly));
        RecordingGauge g;
        QCOMPARE(copy(source, dest, &g), error);
        QCOMPARE(g.log, log);
        QCOMPARE(contents("src.bin"), src);
        QCOMPARE(contents("ro.bin"), old);
        QVERIFY(!QFile::exists(host("dst.bin")));
    }

    // The user sees the fixed message; the log keeps the system's reason.
    void refusalLogsTheSystemsReason()
    {
        makeFile("src.bin", 10);
        // The reasons as the system words them for the same failures.
        platform::openForReading(host("none.bin"));
        const QString missing = QRegularExpression::escape(platform::lastSystemError());
        platform::createFile(host("src.bin/nodir/x.bin"));
        const QString notDir = QRegularExpression::escape(platform::lastSystemError());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot open \"T:.*none.bin\" for reading: \"" + missing));
        QCOMPARE(copy("T:\\none.bin", "T:\\dst.bin", nullptr), "EFOpenError: Cannot open file T:\\none.bin");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot create \"T:.*nodir.*x.bin\" : \"" + notDir));
        QCOMPARE(copy("T:\\src.bin", "T:\\src.bin\\nodir\\x.bin", nullptr),
                 "EFCreateError: Cannot create file T:\\src.bin\\nodir\\x.bin");
    }

    // A write that stores fewer bytes than asked fails the copy: the file
    // size limit lets the second block store only part of itself.
    void shortWrite()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows has no file size limit of a process to cut a write short with");
#else
        const QByteArray data = makeFile("src.bin", 12000);
        struct rlimit old {};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
        auto prevHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = old;
        lim.rlim_cur = 10000;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &lim) == 0);
        RecordingGauge g;
        const QString err = copy("T:\\src.bin", "T:\\dst.bin", &g);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, prevHandler);
        QCOMPARE(err, QString("EWriteError: Stream write error"));
        QCOMPARE(contents("dst.bin"), data.left(10000)); // partial target kept
        QCOMPARE(g.log.last(), QString("pos 0"));
#endif
    }

    void fullDevice()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows has no device that is always full");
#endif
        makeFile("src.bin", 9000);
        RecordingGauge g;
        QCOMPARE(copy("T:\\src.bin", "Z:\\dev\\full", &g), QString("EWriteError: Stream write error"));
        QCOMPARE(g.log, (QStringList{"max 9000", "min 0", "pos 0", "pos 0"}));
    }

    void fullDisk()
    {
#ifdef Q_OS_WIN
        QSKIP("the small file system is a tmpfs mounted by root on Linux");
#else
        if (geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root; the full-disk copy is not run");
        QDir().mkpath(host("small"));
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", host("small")}) != 0)
            QSKIP("mount of a small tmpfs refused here (no mount rights in this container)");
        const QByteArray data = makeFile("src.bin", 200000);
        const QString err = copy("T:\\src.bin", "T:\\small\\dst.bin", nullptr);
        const QByteArray part = contents("small/dst.bin");
        QProcess::execute("umount", {host("small")});
        QCOMPARE(err, QString("EWriteError: Stream write error"));
        QVERIFY(part.size() > 0 && part.size() < data.size());
        QCOMPARE(part, data.left(part.size()));
#endif
    }

    // 2 GiB and more: the control gets halved values that fit 32 bits, the
    // last position is its maximum, and every byte arrives.
    void largeFile()
    {
        const qint64 size = (qint64(1) << 31) + 8193;
        {
            QFile f(host("big.bin"));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(size)); // sparse
        }
        RecordingGauge g;
        QCOMPARE(copy("T:\\big.bin", "Z:\\dev\\null", &g), QString());
        const qint32 max = qint32(size >> 1);
        QCOMPARE(g.log.first(), QString("max %1").arg(max));
        QCOMPARE(g.log.at(g.log.size() - 2), QString("pos %1").arg(max));
        QCOMPARE(g.log.last(), QString("pos 0"));
        QCOMPARE(g.maxValue(), max);
        QFile::remove(host("big.bin"));
    }

    void indexOfClass()
    {
        TProgressList list;
        QCOMPARE(list.IndexOfClass(&QProgressBar::staticMetaObject), 0);
        QCOMPARE(list.IndexOfClass(&TGauge::staticMetaObject), 1);
        QCOMPARE(list.IndexOfClass(&RecordingGauge::staticMetaObject), 1);
        QCOMPARE(list.IndexOfClass(&QWidget::staticMetaObject), -1);
        QCOMPARE(list.Add(&TGauge::staticMetaObject, "a", "b", "c"), 2); // a later registration wins
        QCOMPARE(list.IndexOfClass(&RecordingGauge::staticMetaObject), 2);
        QCOMPARE(list.IndexOfClass(&QProgressBar::staticMetaObject), 0);
    }

    // The properties found for a class follow every later registration.
    void controlPropFollowsRegistrations()
    {
        TProgressList list;
        OtherControl other;
        TGauge gauge;
        QVERIFY(!list.ControlProp(&other, pkPosition).isValid());
        list.Add(&OtherControl::staticMetaObject, "Maximum", "Minimum", "Progress");
        QCOMPARE(list.ControlProp(&other, pkPosition).name(), "Progress");
        QCOMPARE(list.ControlProp(&gauge, pkMax).name(), "MaxValue");
        list.Add(&TGauge::staticMetaObject, "MinValue", "MaxValue", "none");
        QCOMPARE(list.ControlProp(&gauge, pkMax).name(), "MinValue");
        QVERIFY(!list.ControlProp(&gauge, pkPosition).isValid());
        QCOMPARE(list.ControlProp(&other, pkPosition).name(), "Progress");
    }

    void setControlProp_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("shown"); // value read back afterwards
        QTest::newRow("no control") << "" << int(pkPosition) << false << "";
        QTest::newRow("bar max") << "bar" << int(pkMax) << true << "maximum=50";
        QTest::newRow("bar min") << "bar" << int(pkMin) << true << "minimum=50";
        QTest::newRow("bar position") << "bar" << int(pkPosition) << true << "value=50";
        QTest::newRow("gauge max") << "gauge" << int(pkMax) << true << "MaxValue=50";
        QTest::newRow("gauge min") << "gauge" << int(pkMin) << true << "MinValue=50";
        QTest::newRow("gauge position") << "gauge" << int(pkPosition) << true << "Progress=50";
        QTest::newRow("unregistered") << "other" << int(pkPosition) << false << "Progress=7";
        QTest::newRow("missing property") << "otherReg" << int(pkMax) << false << "Progress=7";
        QTest::newRow("text property") << "otherReg" << int(pkPosition) << false << "value=";
    }
    void setControlProp()
    {
        QFETCH(QString, control);
        QFETCH(int, kind);
        QFETCH(bool, result);
        QFETCH(QString, shown);
        QProgressBar bar;
        bar.setRange(0, 100);
        TGauge gauge;
        OtherControl other;
        QObject *c = control == "bar" ? static_cast<QObject *>(&bar)
            : control == "gauge"      ? static_cast<QObject *>(&gauge)
            : control.startsWith("other") ? static_cast<QObject *>(&other)
                                          : nullptr;
        if (control == "otherReg") {
            TProgressList list;
            list.Add(&OtherControl::staticMetaObject, "Maximum", "Minimum", "value");
            QCOMPARE(list.SetControlProp(c, TProgressPropKind(kind), 50), result);
        } else {
            const bool r = kind == pkMax ? ProgressSetMax(c, 50)
                : kind == pkMin          ? ProgressSetMin(c, 50)
                                         : ProgressSetPosition(c, 50);
            QCOMPARE(r, result);
        }
        if (c) {
            const QStringList kv = shown.split('=');
            QCOMPARE(c->property(kv[0].toLatin1()).toString(), kv[1]);
        }
    }

    void setterErrorsReachTheCaller()
    {
        TGauge g;
        QVERIFY_THROWS_EXCEPTION(EInvalidOperation, ProgressSetMin(&g, 200));
        QCOMPARE(g.minValue(), 0);
    }
};

QTEST_MAIN(TestFileRoutines)
#include "tst_FileRoutines.moc"
