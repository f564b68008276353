// The directory chooser's plain computations: picture fitting, centring, the
// file list's tab stop, tree node paths and full drive-form paths.
#include "drives.h"
#include "exploratorGeom.h"

#include <QTemporaryDir>
#include <QTest>

using namespace explorer;

class TestExploratorGeom : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void initTestCase() { platform::setDriveRoot('T', tmp.path()); }
    void cleanupTestCase() { platform::resetDrives(); }

    void fitPicture_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("wide shrinks") << QSize(400, 200) << QSize(100, 100) << QSize(98, 49);
        QTest::newRow("tall shrinks") << QSize(100, 300) << QSize(200, 150) << QSize(49, 147);
        QTest::newRow("small grows") << QSize(10, 10) << QSize(50, 100) << QSize(49, 49);
        QTest::newRow("half to even") << QSize(50, 25) << QSize(50, 50) << QSize(49, 24); // 24.5 -> 24
        QTest::newRow("no area") << QSize(10, 10) << QSize(0, 5) << QSize(0, 0);
        QTest::newRow("negative area") << QSize(10, 10) << QSize(-2, -2) << QSize(0, 0);
    }
    void fitPicture()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, area);
        QFETCH(QSize, expected);
        QCOMPARE(explorer::fitPicture(picture, area), expected);
    }

    void centring_data()
    {
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QSize>("inner");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("odd difference truncated") << QSize(538, 380) << QSize(450, 101) << QPoint(44, 139);
        QTest::newRow("inner larger") << QSize(250, 50) << QSize(450, 101) << QPoint(0, 0);
    }
    void centring()
    {
        QFETCH(QSize, outer);
        QFETCH(QSize, inner);
        QFETCH(QPoint, expected);
        QCOMPARE(centredPos(outer, inner), expected);
    }

    void tabStop_data()
    {
        QTest::addColumn<int>("plikow");
        QTest::addColumn<int>("opisow");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("pixels");
        QTest::newRow("no descriptions: end of the area") << 400 << 0 << 8 << 400;
        QTest::newRow("description column") << 400 << 150 << 8 << 250;
        QTest::newRow("base unit 7 loses a little") << 400 << 0 << 7 << 399;
        QTest::newRow("wider descriptions") << 100 << 200 << 8 << -100;
    }
    void tabStop()
    {
        QFETCH(int, plikow);
        QFETCH(int, opisow);
        QFETCH(int, base);
        QFETCH(int, pixels);
        QCOMPARE(tabStopPixels(listTabStopUnits(plikow, opisow, base), base), pixels);
    }

    void paths_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("path");
        QTest::newRow("root") << QStringList{"c:\\"} << "c:\\";
        QTest::newRow("grandchild") << QStringList{"System", "Windows", "c:\\"} << "c:\\Windows\\System\\";
        QTest::newRow("nothing") << QStringList{} << "";
    }
    void paths()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, path);
        QCOMPARE(nodePathOf(texts), path);
    }

    void fullPath_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("dots") << "T:\\a\\.\\b\\..\\c\\" << "T:\\a\\c\\";
        QTest::newRow("never above the root") << "T:\\..\\..\\x" << "T:\\x";
        QTest::newRow("root") << "T:\\" << "T:\\";
        // C: is the home folder on Linux and the system's drive, whose root ends
        // in its separator, on Windows.
        QTest::newRow("a system drive") << "C:\\a\\..\\b\\" << "C:\\b\\";
        QTest::newRow("a system drive's root") << "C:\\a\\.." << "C:\\";
    }
    void fullPath()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(fullDrivePath(in), out);
    }
};

QTEST_GUILESS_MAIN(TestExploratorGeom)
#include "tst_exploratorGeom.moc"
