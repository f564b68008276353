#include "AppCore.h"
#include "Exceptions.h"
#include "Fonts.h"
#include "Gauges.h"

#include <QPainter>
#include <QTest>
#include <climits>

using namespace GaugeGeometry;

namespace {
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kMaroon = qRgb(0x80, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kSilver = qRgb(0xC0, 0xC0, 0xC0);

QRgb px(const QImage &img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
QRgb rgb(QRgb c) { return c & 0xFFFFFF; }

int countRow(const QImage &img, int y, QRgb c)
{
    int n = 0;
    for (int x = 0; x < img.width(); ++x)
        n += px(img, x, y) == rgb(c);
    return n;
}
int countColumn(const QImage &img, int x, QRgb c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        n += px(img, x, y) == rgb(c);
    return n;
}
} // namespace

class TestGauges : public QObject {
    Q_OBJECT

    static std::unique_ptr<TGauge> gauge(TGauge::TGaugeKind kind, QSize size, int pct, bool text)
    {
        auto g = std::make_unique<TGauge>();
        g->setKind(kind);
        g->resize(size);
        g->setShowText(text);
        g->setForeColor(QColor(kMaroon));
        g->setBackColor(QColor(kWhite));
        g->setColor(QColor(kSilver));
        g->setProgress(pct);
        return g;
    }

private slots:
    // The percentage stays legible in the wizard's gauges: between any two
    // letters of every text from 0% to 100% lies at least one clear column.
    void percentGlyphsStayApart_data()
    {
        QTest::addColumn<int>("cell");
        QTest::newRow("file gauge, 16 pixels high") << 12;
        QTest::newRow("installation gauge, 25 pixels high") << 16;
    }
    void percentGlyphsStayApart()
    {
        QFETCH(int, cell);
        const QFont f = GaugeGeometry::textFont(Fonts::make("MS Sans Serif", cell, true));
        const QFontMetrics fm(f);
        // Columns holding ink of one letter drawn where the text puts it.
        auto inkColumns = [&](const QString &text, int i) {
            QImage img(fm.horizontalAdvance(text) + 20, fm.height(), QImage::Format_RGB32);
            img.fill(Qt::black);
            {
                QPainter p(&img);
                p.setFont(f);
                p.setPen(Qt::white);
                p.drawText(10 + fm.horizontalAdvance(text.left(i)), fm.ascent(), text.mid(i, 1));
            }
            int first = INT_MAX, last = -1;
            for (int x = 0; x < img.width(); ++x)
                for (int y = 0; y < img.height(); ++y)
                    if (qRed(img.pixel(x, y)) > 0) {
                        first = std::min(first, x);
                        last = std::max(last, x);
                    }
            return std::make_pair(first, last);
        };
        for (int pct = 0; pct <= 100; ++pct) {
            const QString text = GaugeGeometry::percentText(pct);
            for (int i = 1; i < text.size(); ++i) {
                const auto left = inkColumns(text, i - 1), right = inkColumns(text, i);
                QVERIFY2(right.first > left.second + 1,
                         qPrintable(QString("'%1' and '%2' of %3 touch").arg(text[i - 1]).arg(text[i]).arg(text)));
            }
        }
    }

    void initTestCase() { App::initModules(); }

    void defaults()
    {
        TGauge g;
        QCOMPARE(g.size(), QSize(100, 100));
        QCOMPARE(g.property("Kind").toInt(), int(TGauge::gkHorizontalBar));
        QCOMPARE(g.property("BorderStyle").toInt(), int(TGauge::bsSingle));
        QCOMPARE(g.property("ShowText").toBool(), true);
        QCOMPARE(g.property("ForeColor").value<QColor>(), QColor(0, 0, 0));
        QCOMPARE(g.property("BackColor").value<QColor>(), QColor(255, 255, 255));
        QCOMPARE(g.property("MaxValue").toInt(), 100);
        QVERIFY(g.testAttribute(Qt::WA_OpaquePaintEvent));
    }

    void percentRule_data()
    {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("progress");
        QTest::addColumn<int>("expected");
        QTest::newRow("1 of 3") << 0 << 3 << 1 << 33;
        QTest::newRow("2 of 3") << 0 << 3 << 2 << 66;
        QTest::newRow("at max") << 0 << 3 << 3 << 100;
        QTest::newRow("just below max") << 0 << 1000 << 999 << 99;
        QTest::newRow("empty span") << 5 << 5 << 5 << 0;
        QTest::newRow("negative range") << -100 << 100 << 0 << 50;
        QTest::newRow("offset range") << 1000 << 1010 << 1003 << 30;
        // the span and the product overflow 32 bits
        QTest::newRow("widest span") << INT_MIN + 1 << INT_MAX << 0 << 50;
        QTest::newRow("huge max") << 0 << INT_MAX << INT_MAX - 1 << 99;
    }
    void percentRule()
    {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, progress);
        QFETCH(int, expected);
        QCOMPARE(percent(min, max, progress), expected);
        TGauge g;
        g.setMaxValue(max);
        g.setMinValue(min);
        g.setProgress(progress);
        QCOMPARE(g.percentDone(), expected);
    }

    // Each row sets the bounds and then one property; afterwards the three
    // values must read back as given.
    void clamping_data()
    {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("progress");
        QTest::addColumn<QString>("prop");
        QTest::addColumn<int>("value");
        QTest::addColumn<QList<int>>("expected"); // min, max, progress
        QTest::newRow("below min") << 10 << 20 << 15 << "Progress" << 3 << QList<int>{10, 20, 10};
        QTest::newRow("above max") << 10 << 20 << 15 << "Progress" << 99 << QList<int>{10, 20, 20};
        QTest::newRow("min drags up") << 0 << 100 << 30 << "MinValue" << 50 << QList<int>{50, 100, 50};
        QTest::newRow("max drags down") << 0 << 100 << 70 << "MaxValue" << 50 << QList<int>{0, 50, 50};
        QTest::newRow("min equal to max") << 0 << 100 << 70 << "MinValue" << 100 << QList<int>{100, 100, 100};
        QTest::newRow("max equal to min") << 0 << 100 << 70 << "MaxValue" << 0 << QList<int>{0, 0, 0};
    }
    void clamping()
    {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, progress);
        QFETCH(QString, prop);
        QFETCH(int, value);
        QFETCH(QList<int>, expected);
        TGauge g;
        g.setMaxValue(max);
        g.setMinValue(min);
        g.setProgress(progress);
        QVERIFY(g.setProperty(prop.toLatin1(), value));
        QCOMPARE((QList<int>{g.minValue(), g.maxValue(), g.progress()}), expected);
    }

    void rangeErrors_data()
    {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<bool>("setMax");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("max below 0") << 0 << 100 << true << -1 << "Value must be between 1 and 2147483647";
        QTest::newRow("min above 100") << 0 << 100 << false << 101 << "Value must be between -2147483647 and 99";
        QTest::newRow("max below extreme min")
            << INT_MAX - 1 << INT_MAX << true << 0 << "Value must be between 2147483647 and 2147483647";
        QTest::newRow("min above lowest max")
            << INT_MIN << INT_MIN << false << 0 << "Value must be between -2147483647 and -2147483649";
    }
    void rangeErrors()
    {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(bool, setMax);
        QFETCH(int, value);
        QFETCH(QString, message);
        TGauge g;
        g.setLoading(true);
        g.setMinValue(min);
        g.setMaxValue(max);
        g.setLoading(false);
        QString got;
        try {
            setMax ? g.setMaxValue(value) : g.setMinValue(value);
        } catch (const EInvalidOperation &e) {
            got = e.message();
        }
        QCOMPARE(got, message);
        QCOMPARE(g.minValue(), min);
        QCOMPARE(g.maxValue(), max);
    }

    void loadingAcceptsAnyOrder()
    {
        std::unique_ptr<TGauge> g;
        {
            GaugeFormLoading loading;
            g = std::make_unique<TGauge>();
            QVERIFY(g->loading());
            g->setMinValue(500); // arrives before MaxValue
            g->setMaxValue(1000);
            g->setProgress(750);
        }
        QVERIFY(!g->loading());
        QCOMPARE(g->minValue(), 500);
        QCOMPARE(g->percentDone(), 50);
        QVERIFY_THROWS_EXCEPTION(EInvalidOperation, g->setMaxValue(10));
        TGauge later; // made after the form was built
        QVERIFY(!later.loading());
    }

    void makeLike()
    {
        TBltBitmap b;
        b.MakeLike(QImage(7, 3, QImage::Format_ARGB32));
        QCOMPARE(b.size(), QSize(7, 3));
        QCOMPARE(b.pixel(6, 2), b.pixel(0, 0));
        QCOMPARE(QColor(b.pixel(3, 1)), QGuiApplication::palette().color(QPalette::WindowText));
    }

    void textOrigin_data()
    {
        QTest::addColumn<QSize>("text");
        QTest::addColumn<QPoint>("origin");
        QTest::newRow("fits") << QSize(20, 10) << QPoint(39, 4);
        QTest::newRow("odd remainder") << QSize(21, 11) << QPoint(39, 4);
        QTest::newRow("wider than gauge") << QSize(120, 30) << QPoint(-10, -5); // toward zero
    }
    void textOrigin()
    {
        QFETCH(QSize, text);
        QFETCH(QPoint, origin);
        QCOMPARE(GaugeGeometry::textOrigin(paintRect(QSize(100, 20), true), text), origin);
    }

    // Bars: the filled length in pixels inside a 100 x 20 (20 x 100) gauge
    // with a frame, whose paint rectangle is 98 pixels long.
    void bars_data()
    {
        QTest::addColumn<bool>("vertical");
        QTest::addColumn<int>("pct");
        QTest::addColumn<int>("filled");
        for (bool v : {false, true}) {
            const char *k = v ? "vertical" : "horizontal";
            QTest::addRow("%s 0", k) << v << 0 << 0;
            QTest::addRow("%s 33", k) << v << 33 << (v ? 32 : 31);
            QTest::addRow("%s 50", k) << v << 50 << (v ? 49 : 48);
            QTest::addRow("%s 100", k) << v << 100 << 98;
        }
    }
    void bars()
    {
        QFETCH(bool, vertical);
        QFETCH(int, pct);
        QFETCH(int, filled);
        auto g = gauge(vertical ? TGauge::gkVerticalBar : TGauge::gkHorizontalBar,
                       vertical ? QSize(20, 100) : QSize(100, 20), pct, false);
        const QImage img = g->grab().toImage();
        const int mid = 10;
        if (vertical) {
            QCOMPARE(countColumn(img, mid, kMaroon), filled);
            QCOMPARE(countColumn(img, mid, kWhite), 98 - filled);
            if (filled)
                QCOMPARE(px(img, mid, 98), rgb(kMaroon)); // grows from the bottom
        } else {
            QCOMPARE(countRow(img, mid, kMaroon), filled);
            QCOMPARE(countRow(img, mid, kWhite), 98 - filled);
            if (filled)
                QCOMPARE(px(img, 1, mid), rgb(kMaroon));
        }
        // the one-pixel frame
        for (int i = 0; i < 100; ++i) {
            const QPoint a = vertical ? QPoint(0, i) : QPoint(i, 0);
            const QPoint b = vertical ? QPoint(19, i) : QPoint(i, 19);
            QCOMPARE(px(img, a.x(), a.y()), rgb(kBlack));
            QCOMPARE(px(img, b.x(), b.y()), rgb(kBlack));
        }
    }

    void noFrame()
    {
        auto g = gauge(TGauge::gkHorizontalBar, QSize(100, 20), 100, false);
        g->setBorderStyle(TGauge::bsNone);
        const QImage img = g->grab().toImage();
        QCOMPARE(countRow(img, 0, kMaroon), 100);
        QCOMPARE(countRow(img, 19, kMaroon), 100);
    }

    // Pie and needle: sample points that must be filled (fore), empty (back)
    // or background (Color) in a 100 x 100 gauge.
    void pieAndNeedle_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("pct");
        QTest::addColumn<QList<QPoint>>("fore");
        QTest::addColumn<QList<QPoint>>("back");
        const QPoint ur(70, 25), lr(70, 75), ll(30, 75), ul(30, 25);
        const int pie = TGauge::gkPie, needle = TGauge::gkNeedle;
        QTest::newRow("pie 0") << pie << 0 << QList<QPoint>{} << QList<QPoint>{ur, lr, ll, ul};
        QTest::newRow("pie 33") << pie << 33 << QList<QPoint>{ur} << QList<QPoint>{lr, ll, ul};
        QTest::newRow("pie 50") << pie << 50 << QList<QPoint>{ur, lr} << QList<QPoint>{ll, ul};
        QTest::newRow("pie 100") << pie << 100 << QList<QPoint>{ur, lr, ll, ul} << QList<QPoint>{};
        QTest::newRow("needle 0") << needle << 0 << QList<QPoint>{} << QList<QPoint>{{50, 50}, {25, 90}, {75, 90}};
        QTest::newRow("needle 33") << needle << 33 << QList<QPoint>{{25, 14}} << QList<QPoint>{{50, 50}, {75, 90}};
        QTest::newRow("needle 50") << needle << 50 << QList<QPoint>{{50, 50}, {50, 10}} << QList<QPoint>{{25, 90}};
        QTest::newRow("needle 100") << needle << 100 << QList<QPoint>{{75, 98}, {95, 98}}
                                    << QList<QPoint>{{50, 50}, {25, 90}};
    }
    void pieAndNeedle()
    {
        QFETCH(int, kind);
        QFETCH(int, pct);
        QFETCH(QList<QPoint>, fore);
        QFETCH(QList<QPoint>, back);
        auto g = gauge(TGauge::TGaugeKind(kind), QSize(100, 100), pct, false);
        const QImage img = g->grab().toImage();
        for (const QPoint &p : fore)
            QVERIFY2(px(img, p.x(), p.y()) == rgb(kMaroon), qPrintable(QString("fore at %1,%2").arg(p.x()).arg(p.y())));
        for (const QPoint &p : back)
            QVERIFY2(px(img, p.x(), p.y()) == rgb(kWhite), qPrintable(QString("back at %1,%2").arg(p.x()).arg(p.y())));
        QCOMPARE(px(img, 3, 3), rgb(kSilver)); // corner outside the drawing
        QCOMPARE(px(img, 0, 50), rgb(kBlack));
    }

    // The text inverts what lies beneath it: over the filled part the inverse
    // of ForeColor, over the rest the inverse of BackColor.
    void textColours_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("pct");
        QTest::newRow("bar 0") << int(TGauge::gkHorizontalBar) << 0;
        QTest::newRow("bar 33") << int(TGauge::gkHorizontalBar) << 33;
        QTest::newRow("bar 50") << int(TGauge::gkHorizontalBar) << 50;
        QTest::newRow("bar 100") << int(TGauge::gkHorizontalBar) << 100;
        QTest::newRow("text kind 50") << int(TGauge::gkText) << 50;
    }
    void textColours()
    {
        QFETCH(int, kind);
        QFETCH(int, pct);
        auto g = gauge(TGauge::TGaugeKind(kind), QSize(200, 30), pct, true);
        g->setFont(Fonts::make("MS Sans Serif", 16, true));
        const QImage plain = [&] {
            g->setShowText(false);
            QImage i = g->grab().toImage();
            g->setShowText(true);
            return i;
        }();
        const QImage img = g->grab().toImage();
        int glyphPixels = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb under = px(plain, x, y), shown = px(img, x, y);
                if (under == shown)
                    continue;
                ++glyphPixels;
                QVERIFY2(shown == (~under & 0xFFFFFF), qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
                QVERIFY(x > 0 && x < 199 && y > 0 && y < 29); // never over the frame
            }
        QVERIFY(glyphPixels > 20);
        // the text sits in the middle of the gauge
        QRect box;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (px(plain, x, y) != px(img, x, y))
                    box |= QRect(x, y, 1, 1);
        QVERIFY(qAbs(box.center().x() - 100) <= 3);
        QVERIFY(qAbs(box.center().y() - 15) <= 3);
    }

    void repaintOnlyOnWholePercent()
    {
        TGauge g;
        g.setMaxValue(1000);
        g.setProgress(10);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        const int before = g.paintCount();
        g.setProgress(11); // still 1 %
        QCOMPARE(g.paintCount(), before);
        QCOMPARE(g.progress(), 11);
        g.setProgress(20); // 2 %: drawn at once, without the event loop
        QCOMPARE(g.paintCount(), before + 1);
        g.setForeColor(QColor(0, 0, 0)); // unchanged
        QCOMPARE(g.paintCount(), before + 1);
        g.setForeColor(QColor(kMaroon));
        QCOMPARE(g.paintCount(), before + 2);
    }
};

QTEST_MAIN(TestGauges)
#include "tst_Gauges.moc"
