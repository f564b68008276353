// The hint bar's plain computations: colour tags, fonts and colours, centring.
#include "AppCore.h"
#include "HintBarLayout.h"

#include <QGuiApplication>
#include <QTest>

namespace {

const QColor Lime(0x00, 0xFF, 0x00), Red(0xFF, 0x00, 0x00), Silver(0xC0, 0xC0, 0xC0),
    White(0xFF, 0xFF, 0xFF), LightRed(0xFF, 0x44, 0x44);

} // namespace

class TestHintBarLayout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { App::initModules(); }

    void splitAtTag_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("segment");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("rest");
        QTest::newRow("none") << "Abc" << false << "Abc" << "" << "";
        QTest::newRow("red") << "Abc#RED#def#NORMAL#" << true << "Abc" << "RED" << "def#NORMAL#";
        QTest::newRow("at start") << "#YELLOW#x" << true << "" << "YELLOW" << "x";
        QTest::newRow("only tag") << "#WHITE#" << true << "" << "WHITE" << "";
        QTest::newRow("unknown") << "a#BLUE#b" << false << "a#BLUE#b" << "" << "";
        QTest::newRow("lower case") << "a#red#b" << false << "a#red#b" << "" << "";
        QTest::newRow("unclosed") << "a#RED" << false << "a#RED" << "" << "";
        QTest::newRow("hash before tag") << "1##NORMAL#2" << true << "1#" << "NORMAL" << "2";
        QTest::newRow("lone hash") << "#" << false << "#" << "" << "";
        QTest::newRow("empty") << "" << false << "" << "" << "";
    }
    void splitAtTag()
    {
        QFETCH(QString, text);
        QFETCH(bool, found);
        QFETCH(QString, segment);
        QFETCH(QString, tag);
        QFETCH(QString, rest);
        QString seg = "junk", t = "junk";
        QCOMPARE(SplitAtTag(text, seg, t), found);
        QCOMPARE(seg, segment);
        QCOMPARE(t, tag);
        QCOMPARE(text, rest);
    }

    void stripTags_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stripped");
        QTest::newRow("example") << "Abc#RED#def#NORMAL#ghi" << "Abcdefghi";
        QTest::newRow("unknown stays") << "#BLUE#" << "#BLUE#";
        QTest::newRow("lower stays") << "x#yellow#y" << "x#yellow#y";
        QTest::newRow("adjacent tags") << "#RED##WHITE#" << "";
        QTest::newRow("polish") << "Zażółć #RED#gęślą" << "Zażółć gęślą";
    }
    void stripTags()
    {
        QFETCH(QString, text);
        QFETCH(QString, stripped);
        QCOMPARE(StripTags(text), stripped);
    }

    void selectFont_data()
    {
        QTest::addColumn<bool>("centre");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("error");
        QTest::addColumn<bool>("flash");
        QTest::addColumn<QColor>("color");
        QTest::newRow("centre") << true << true << false << false << Lime;
        QTest::newRow("centre error") << true << true << true << false << Red;
        QTest::newRow("centre flash") << true << true << true << true << White;
        QTest::newRow("side") << false << true << true << false << White;
        QTest::newRow("inactive centre") << true << false << true << false << Silver;
        QTest::newRow("inactive flash") << true << false << false << true << Silver;
    }
    void selectFont()
    {
        QFETCH(bool, centre);
        QFETCH(bool, active);
        QFETCH(bool, error);
        QFETCH(bool, flash);
        QFETCH(QColor, color);
        const HintBarFont f = SelectFont(centre, active, error, flash);
        QCOMPARE(f.color, color);
        QVERIFY(f.font.bold());
        // The flash font is the smaller one, and the same for both kinds.
        const int normal = SelectFont(centre, true, false, false).font.pixelSize();
        QCOMPARE(f.font.pixelSize() < normal, flash);
        if (flash)
            QCOMPARE(f.font, SelectFont(!centre, active, error, flash).font);
    }

    void centredTextX_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("x");
        QTest::newRow("centred") << 10 << 110 << 50 << 35;
        QTest::newRow("odd truncates") << 10 << 111 << 50 << 35;
        QTest::newRow("exact fit") << 10 << 110 << 100 << 10;
        QTest::newRow("too wide starts at left") << 10 << 110 << 300 << 10;
    }
    void centredTextX()
    {
        QFETCH(int, left);
        QFETCH(int, right);
        QFETCH(int, w);
        QFETCH(int, x);
        QCOMPARE(::centredTextX(left, right, w), x);
    }

    void colourAfterTag_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<bool>("active");
        QTest::addColumn<QColor>("expected");
        // normal is lime, the current colour before the tag white
        QTest::newRow("red") << "RED" << true << LightRed;
        QTest::newRow("yellow") << "YELLOW" << true << QColor(0xFF, 0xFF, 0x44);
        QTest::newRow("white") << "WHITE" << true << White;
        QTest::newRow("normal") << "NORMAL" << true << Lime;
        QTest::newRow("greyed: red ignored") << "RED" << false << White;
        QTest::newRow("greyed: normal still back") << "NORMAL" << false << Lime;
        QTest::newRow("no tag") << "" << true << White;
    }
    void colourAfterTag()
    {
        QFETCH(QString, tag);
        QFETCH(bool, active);
        QFETCH(QColor, expected);
        QCOMPARE(::colourAfterTag(tag, active, Lime, White), expected);
    }
};

QTEST_MAIN(TestHintBarLayout)
#include "tst_HintBarLayout.moc"
