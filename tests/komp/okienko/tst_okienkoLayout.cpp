// The message dialog's geometry as plain functions: the button row, the
// T-A-K row, the placement and the fit of the text.
#include "AppCore.h"
#include "Fonts.h"
#include "okienkoLayout.h"

#include <QFontMetrics>
#include <QTest>
#include <cmath>

using namespace MsgLayout;

namespace {

TextInput input(const QString &text, const QFont &font)
{
    TextInput in;
    in.text = text;
    in.font = font;
    return in;
}

} // namespace

class TestOkienkoLayout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { App::initModules(); }

    void spreading_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("frame");
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<int>("newWindow");
        QTest::addColumn<QList<int>>("lefts");
        QTest::newRow("one button centred") << 400 << 0 << QList<int>{80} << 400 << QList<int>{160};
        QTest::newRow("two equal gaps") << 400 << 0 << QList<int>{80, 80} << 400 << QList<int>{80, 240};
        QTest::newRow("retry, remainder right") << 400 << 0 << QList<int>{90, 80} << 400 << QList<int>{76, 242};
        QTest::newRow("frame not in the row") << 406 << 6 << QList<int>{80, 80} << 406 << QList<int>{80, 240};
        QTest::newRow("none") << 300 << 0 << QList<int>{} << 300 << QList<int>{};
        QTest::newRow("exactly total + 30 fits") << 370 << 0 << QList<int>{170, 170} << 370
                                                  << QList<int>{10, 190};
        QTest::newRow("too wide widens") << 400 << 0 << QList<int>{100, 90, 80, 80, 80, 80, 80} << 620
                                          << QList<int>{3, 106, 199, 282, 365, 448, 531};
    }
    void spreading()
    {
        QFETCH(int, window);
        QFETCH(int, frame);
        QFETCH(QList<int>, widths);
        const ButtonRow row = spreadButtons(window, frame, widths);
        QTEST(row.windowWidth, "newWindow");
        QTEST(row.lefts, "lefts");
    }

    void takRow_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("newWindow");
        QTest::addColumn<int>("groupLeft");
        QTest::addColumn<int>("refuseLeft");
        QTest::newRow("narrow widens to 400") << 301 << 400 << 66 << 233;
        QTest::newRow("design") << 400 << 400 << 66 << 233;
        QTest::newRow("wide") << 531 << 531 << 110 << 321;
    }
    void takRow()
    {
        QFETCH(int, window);
        const TakRow row = MsgLayout::takRow(window, 0, 300);
        QTEST(row.windowWidth, "newWindow");
        QCOMPARE(row.captionLeft, (row.windowWidth - 300) / 2);
        QTEST(row.groupLeft, "groupLeft");
        QTEST(row.refuseLeft, "refuseLeft");
    }

    void placement_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QPoint>("pos");
        QTest::newRow("screen") << QRect(0, 0, 1024, 768) << QSize(406, 250) << QPoint(309, 259);
        QTest::newRow("over a form") << QRect(100, 80, 600, 400) << QSize(400, 219) << QPoint(200, 170);
        // Larger than the form: truncation toward zero, no clamping to the screen.
        QTest::newRow("small form") << QRect(10, 50, 200, 100) << QSize(401, 219) << QPoint(-90, -9);
    }
    void placement()
    {
        QFETCH(QRect, area);
        QFETCH(QSize, window);
        QTEST(place(area, window), "pos");
    }

    void textFit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("pictures");
        QTest::addColumn<bool>("elevenPoints");
        QTest::addColumn<int>("labelWidth"); // -1: as wide as the panel allows
        QTest::newRow("short line") << "Krótko" << true << false << -1;
        QTest::newRow("long line wraps")
            << QString("Nie można utworzyć folderu docelowego, sprawdź uprawnienia i wolne miejsce. ").repeated(3)
            << true << false << -1;
        QTest::newRow("line break, narrow") << "a\rb" << true << false << 200;
        QTest::newRow("line break, plain") << "Ala ma kota\r\nkot ma Alę" << false << false << 200;
        QTest::newRow("line break, wide") << QString("W").repeated(40) + "\rx" << true << true << 0;
        QTest::newRow("too high") << QString("wiersz\r").repeated(14) << true << true << 200;
    }
    void textFit()
    {
        QFETCH(QString, text);
        QFETCH(bool, pictures);
        QFETCH(bool, elevenPoints);
        QFETCH(int, labelWidth);
        const QFont font = Fonts::make("Times New Roman", -17, true);
        const QFont small = Fonts::withPointSize(font, 11);
        const Parts parts{pictures, true, false};
        const QSize design(DesignClientWidth, DesignClientHeight);
        const TextFit fit = fitText(design, parts, input(text, font));
        const QRect panel2 = areas(fit.client, parts).panel2;

        QCOMPARE(fit.font.pixelSize(), (elevenPoints ? small : font).pixelSize());
        QCOMPARE(panel2.height(), fit.lbl.height() + 8);
        QCOMPARE(panel2.width(), fit.lbl.width() + 8);
        const QStringList lines = App::displayText(text).split('\n');
        const QFontMetrics fm(fit.font);
        if (labelWidth < 0) { // wrapped: the window keeps its width
            QCOMPARE(fit.client.width(), DesignClientWidth);
            QVERIFY(fit.lbl.height() >= fm.height());
        } else {
            int longest = 0;
            for (const QString &l : lines)
                longest = std::max(longest, fm.horizontalAdvance(l));
            QCOMPARE(fit.lbl.width(), std::max(labelWidth, elevenPoints ? longest : longest + 10));
            // As high as its lines: whole lines, with at most the leading between them.
            const int n = int(lines.size());
            QVERIFY(fit.lbl.height() >= n * fm.height());
            QVERIFY(fit.lbl.height() <= n * std::ceil(QFontMetricsF(fit.font).lineSpacing()) + 1);
        }
    }

    void textFitWrappedHeight()
    {
        const QFont font = Fonts::make("Times New Roman", -17, true);
        const Parts parts;
        const QString one = "Jedno słowo";
        const QString many = QString("słowo ").repeated(60);
        const TextFit a = fitText({400, 219}, parts, input(one, font));
        const TextFit b = fitText({400, 219}, parts, input(many, font));
        QCOMPARE(a.lbl.height(), QFontMetrics(font).height());
        QVERIFY(b.lbl.height() >= 4 * QFontMetrics(font).height());
        // Upper area + 50 for the buttons; the client height follows the text.
        QCOMPARE(a.client.height(), a.lbl.height() + 8 + 12 + 50);
        QCOMPARE(b.client.height(), b.lbl.height() + 8 + 12 + 50);
    }

    void secondText_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("widens");
        QTest::newRow("short tail") << "C:\\X" << false;
        QTest::newRow("wide tail") << QString("C:\\TVO-DEMO\\").repeated(6) << true;
    }
    void secondText()
    {
        QFETCH(QString, second);
        QFETCH(bool, widens);
        const QFont font = Fonts::make("Times New Roman", -17, true);
        const QFont mono = Fonts::make("Courier New", -12, true);
        const Parts parts;
        const TextFit plain = fitText({400, 219}, parts, input("Błąd", font));
        const TextFit fit = fitText({400, 219}, parts, {"Błąd", font, Qt::AlignHCenter, true, second, mono});
        const QSize tail = measureLabel(mono, second, 0, Qt::AlignLeft);
        QCOMPARE(fit.lbl2.top(), fit.lbl.bottom() + 1 + 5);
        QCOMPARE(fit.lbl2.left(), 4);
        QCOMPARE(fit.client.height(), plain.client.height() + tail.height() + 5);
        QCOMPARE(fit.client.width() > 400, widens);
        if (widens)
            QCOMPARE(fit.lbl.width(), tail.width());
    }
};

QTEST_MAIN(TestOkienkoLayout)
#include "tst_okienkoLayout.moc"
