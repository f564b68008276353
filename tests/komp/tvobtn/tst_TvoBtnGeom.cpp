// The key-cap button's plain computations: where the picture and the caption
// go, and the cells cut from its picture strips.
#include "AppCore.h"
#include "TvoBtn.h"
#include "inkbox.h"

#include <QTest>

using namespace TvoBtnLayout;

class TestTvoBtnGeom : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { App::initModules(); }

    void layout_data()
    {
        QTest::addColumn<QSize>("button");
        QTest::addColumn<int>("margines");
        QTest::addColumn<bool>("wlasny");
        QTest::addColumn<QSize>("ikonka");
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QRect>("picture"); // position and size
        QTest::addColumn<QRect>("text");
        QTest::addColumn<int>("hAlign");

        const QSize none;
        // The wizard's "&Wybierz..." button: caption only, 10 pixels in.
        QTest::newRow("caption only, margin 10") << QSize(81, 25) << 10 << true << none << false << int(Horizontal)
                                                 << QRect(10, 12, 0, 0) << QRect(10, 1, 70, 23) << int(Qt::AlignLeft);
        QTest::newRow("key cap beside caption") << QSize(100, 25) << 2 << false << none << false << int(Horizontal)
                                                << QRect(2, 4, 22, 17) << QRect(26, 1, 73, 23) << int(Qt::AlignLeft);
        QTest::newRow("pressed shifts both") << QSize(100, 25) << 2 << false << none << true << int(Horizontal)
                                             << QRect(3, 5, 22, 17) << QRect(27, 2, 73, 23) << int(Qt::AlignLeft);
        QTest::newRow("own picture, half its width") << QSize(100, 29) << 3 << true << QSize(33, 12) << false
                                                     << int(Horizontal) << QRect(3, 8, 16, 12) << QRect(22, 1, 77, 27)
                                                     << int(Qt::AlignLeft);
        QTest::newRow("margin -1 centres, picture stays") << QSize(100, 25) << -1 << false << none << false
                                                          << int(Horizontal) << QRect(-1, 4, 22, 17)
                                                          << QRect(22, 1, 77, 23) << int(Qt::AlignHCenter);
        QTest::newRow("margin -2 drops the picture") << QSize(100, 25) << -2 << false << none << false
                                                     << int(Horizontal) << QRect(-2, 12, 0, 0) << QRect(0, 1, 99, 23)
                                                     << int(Qt::AlignHCenter);
        QTest::newRow("height 30 stacks") << QSize(40, 30) << 2 << false << none << false << int(Stacked)
                                          << QRect(9, 2, 22, 17) << QRect(1, 15, 38, 14) << int(Qt::AlignHCenter);
        QTest::newRow("20 x 40 stacks") << QSize(20, 40) << 2 << false << none << false << int(Stacked)
                                        << QRect(-1, 2, 22, 17) << QRect(1, 25, 18, 14) << int(Qt::AlignHCenter);
        QTest::newRow("20 x 41 turns upward") << QSize(20, 41) << 2 << false << none << false << int(Vertical)
                                              << QRect(-1, 22, 22, 17) << QRect(1, 1, 18, 19) << 0;
        QTest::newRow("upward, no picture") << QSize(20, 60) << 4 << true << none << false << int(Vertical)
                                            << QRect(10, 56, 0, 0) << QRect(1, 1, 18, 55) << 0;
    }

    void layout()
    {
        QFETCH(QSize, button);
        QFETCH(int, margines);
        QFETCH(bool, wlasny);
        QFETCH(QSize, ikonka);
        QFETCH(bool, pressed);
        Input in;
        in.width = button.width();
        in.height = button.height();
        in.margines = margines;
        in.wlasny = wlasny;
        in.ikonka = ikonka;
        in.pressed = pressed;
        in.textHeight = 13;
        const Result r = compute(in);
        QTEST(int(r.kind), "kind");
        QTEST(QRect(r.picturePos, r.picture), "picture");
        QTEST(r.text, "text");
        QTEST(int(r.textFlags & Qt::AlignHorizontal_Mask), "hAlign");
    }

    void strips()
    {
        const TvoBtnImages::Lists &l = TvoBtnImages::lists();
        QCOMPARE(int(l.bgEnabled.size()), 5);
        QCOMPARE(int(l.bgDisabled.size()), 5);
        QCOMPARE(int(l.fgEnabled.size()), 46);
        QCOMPARE(int(l.fgDisabled.size()), 46);
        QCOMPARE(l.bgEnabled[4].size(), QSize(22, 17));
        QCOMPARE(l.fgDisabled[45].size(), QSize(20, 13));
        // The strips' transparent colours are see-through in every cell.
        QCOMPARE(qAlpha(l.bgEnabled[0].pixel(0, 0)), 0);
        QCOMPARE(qAlpha(l.fgEnabled[tbA].pixel(0, 0)), 0);
        // A glyph has white in its enabled cell and none in its disabled one.
        QVERIFY(!inkOf(l.fgEnabled[tbEnter], Qt::white).isEmpty());
        QVERIFY(!inkOf(l.fgDisabled[tbEnter], QColor(128, 128, 128)).isEmpty());
        QVERIFY(inkOf(l.fgEnabled[tbPusty], Qt::white).isEmpty());
    }
};

QTEST_MAIN(TestTvoBtnGeom)
#include "tst_TvoBtnGeom.moc"
