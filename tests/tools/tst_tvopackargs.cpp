// The packer's command line as a user types it: paths relative to the current
// folder, help and version, the inputs it accepts, and its warning.
#include "tvopackrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace tvopacktest;

class TestTvoPackArgs : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    QString path(const QString &name) const { return tmp.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        QVERIFY(QDir().mkpath(path("work/corpus/Dane")));
        QVERIFY(QDir().mkpath(path("other/corpus")));
        QVERIFY(writeFile(path("work/corpus/Dane/a.txt"), pattern(3000, 1)));
        QVERIFY(writeFile(path("other/corpus/b.txt"), pattern(2000, 2)));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), path("work/plain")));
        QVERIFY(QFile::copy(QStringLiteral(TVO_UNRAR_LIBRARY), path("lib.so")));
        QVERIFY(writeFile(path("work/a.rar"), rarLike(2500, 3)));
        QVERIFY(QDir().mkpath(path("work/out")));
    }

    // Every path argument is taken relative to the folder the packer runs in.
    // "%" stands for the test folder's absolute path.
    void relativePaths_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("output"); // under the test folder
        QTest::addColumn<QString>("entry");  // a name the joined archive holds
        QTest::newRow("--folder in the current folder")
            << QStringList {"--library", "../lib.so", "--folder", "corpus", "plain", "setup1"} << "work/setup1" << "a.txt";
        QTest::newRow("--folder one level up")
            << QStringList {"--library", "../lib.so", "--folder", "../other/corpus", "plain", "setup2"} << "work/setup2"
            << "b.txt";
        QTest::newRow("--folder with ./ and a trailing slash")
            << QStringList {"--library", "../lib.so", "--folder", "./corpus/", "plain", "out/setup3"} << "work/out/setup3"
            << "a.txt";
        QTest::newRow("relative --archive, absolute --library")
            << QStringList {"--library", "%/lib.so", "--archive", "a.rar", "./plain", "../setup4"} << "setup4" << "";
    }
    void relativePaths()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, output);
        QFETCH(QString, entry);
        for (QString &a : args)
            a.replace('%', tmp.path());
        const Run r = pack(args, path("work"));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(QFileInfo(path(output)).isExecutable());

        // --list and --unpack with relative paths as well; the pieces joined
        // hold the folder's files by name.
        const QString rel = QDir(path("work")).relativeFilePath(path(output));
        const Run list = pack({"--list", rel}, path("work"));
        QVERIFY2(list.code == 0 && list.out.contains("TVODEMO_0"), qPrintable(list.err));
        QDir(path("work/un")).removeRecursively();
        QVERIFY(pack({"--unpack", rel, "un"}, path("work")).code == 0);
        const QByteArray rar = readFile(path("work/un/TVODEMO_0"));
        QCOMPARE(rar.left(7), kRarSignature);
        if (!entry.isEmpty())
            QVERIFY2(rar.contains(entry.toLatin1()), qPrintable(entry));
    }

    void helpAndVersion_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("--help") << QStringList {"--help"} << 0 << "usage: tvo-pack" << "";
        QTest::newRow("-h") << QStringList {"-h"} << 0 << "--no-compress" << "";
        QTest::newRow("--version") << QStringList {"--version"} << 0 << "tvo-pack 1." << "";
        QTest::newRow("unknown option") << QStringList {"--bogus"} << 2 << "" << "unknown option --bogus";
        QTest::newRow("unknown short option") << QStringList {"-x", "a", "b"} << 2 << "" << "Try 'tvo-pack --help'";
    }
    void helpAndVersion()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run r = pack(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.out.contains(out), qPrintable(r.out));
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.contains(err), qPrintable(r.err));
    }

    // A RAR 5 archive is accepted as well as a RAR 4 one; an archive or a
    // folder without the library is packed, with a warning that the installer
    // will copy a folder instead.
    void acceptedInputs_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("warns");
        QTest::newRow("RAR 5 archive") << QStringList {"--library", "@lib.so", "--archive", "@rar5"} << false;
        QTest::newRow("library only") << QStringList {"--library", "@lib.so"} << false;
        QTest::newRow("archive without library") << QStringList {"--archive", "@work/a.rar"} << true;
        QTest::newRow("folder without library") << QStringList {"--folder", "@work/corpus"} << true;
    }
    void acceptedInputs()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, warns);
        QVERIFY(writeFile(path("rar5"), QByteArray("Rar!\x1A\x07\x01\x00", 8) + pattern(100, 5)));
        for (QString &a : args)
            if (a.startsWith('@'))
                a = path(a.mid(1));
        const Run r = pack(args << path("work/plain") << path("accepted"));
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err.contains("warning: no --library"), warns);
        if (!warns)
            QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QVERIFY(QFile::remove(path("accepted")));
    }
};

QTEST_GUILESS_MAIN(TestTvoPackArgs)
#include "tst_tvopackargs.moc"
