#include "AppCore.h"
#include "Exceptions.h"
#include "Fonts.h"

#include <QFontMetrics>
#include <climits>
#include <QTest>

class TestAppCore : public QObject {
    Q_OBJECT

    // The pixel size near the usual ratio whose line, by the font's own
    // metrics, comes closest to the cell; the smaller one on a tie.
    static int closestSize(const QFont &f, int cell)
    {
        const int guess = std::max(1, int(std::lround(cell / 1.15)));
        int best = 0, bestDiff = INT_MAX;
        for (int px = std::max(1, guess - 4); px <= guess + 4; ++px) {
            QFont g = f;
            g.setPixelSize(px);
            const int diff = std::abs(QFontMetrics(g).height() - cell);
            if (diff < bestDiff)
                best = px, bestDiff = diff;
        }
        return best;
    }
private slots:
    void initTestCase() { App::initModules(); }

    void fullStopRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "Cannot open file x" << "Cannot open file x.";
        QTest::newRow("bang") << "Cannot open file !" << "Cannot open file !";
        QTest::newRow("paren") << "(PFCode = 11)" << "(PFCode = 11)";
        QTest::newRow("dot") << "Done." << "Done.";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("digit") << "code 5" << "code 5.";
        QTest::newRow("polish") << "Błąd ą" << "Błąd ą.";
    }
    void fullStopRule()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(App::reportText(message), shown);
    }

    void reportShowsTitleAndSkipsAbort()
    {
        QStringList seen;
        App::setSystemBoxHook([&](const QString &c, const QString &t) { seen << c << t; });
        App::setTitle("Instalacja TAVRO DEMO");
        App::showException(EAbort());
        QVERIFY(seen.isEmpty());
        App::showException(EFOpenError("Cannot open file C:\\X"));
        QCOMPARE(seen, QStringList({"Instalacja TAVRO DEMO", "Cannot open file C:\\X."}));
        App::setSystemBoxHook({});
    }

    void cleanupsRunInReverse()
    {
        QList<int> order;
        App::addCleanup([&] { order << 1; });
        App::addCleanup([&] { order << 2; });
        App::runCleanups();
        App::runCleanups();
        QCOMPARE(order, QList<int>({2, 1}));
    }

    void fontCellHeights_data()
    {
        QTest::addColumn<QString>("face");
        QTest::addColumn<int>("cell");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("italic");
        QTest::newRow("Arial 31 bold") << "Arial" << 31 << true << false;
        QTest::newRow("Arial 21 bold") << "Arial" << 21 << true << false;
        QTest::newRow("Arial 18 bold italic") << "Arial" << 18 << true << true;
        QTest::newRow("Arial 16 bold italic") << "Arial" << 16 << true << true;
        QTest::newRow("Arial Black 30") << "Arial Black" << 30 << true << false;
        QTest::newRow("MS Sans Serif 16 bold") << "MS Sans Serif" << 16 << true << false;
        QTest::newRow("MS Sans Serif 12 bold") << "MS Sans Serif" << 12 << true << false;
        QTest::newRow("MS Sans Serif 11") << "MS Sans Serif" << 11 << false << false;
        QTest::newRow("Times New Roman 23") << "Times New Roman" << 23 << true << false;
        QTest::newRow("Courier New 16") << "Courier New" << 16 << true << false;
    }
    void fontCellHeights()
    {
        QFETCH(QString, face);
        QFETCH(int, cell);
        QFETCH(bool, bold);
        QFETCH(bool, italic);
        const QFont f = Fonts::make(face, cell, bold, italic);
        QCOMPARE(QFontInfo(f).family(), Fonts::hostFamily(face));
        QVERIFY2(std::abs(QFontMetrics(f).height() - cell) <= 1,
                 qPrintable(QString("height %1 for cell %2").arg(QFontMetrics(f).height()).arg(cell)));
        // The closest of all sizes near the usual ratio, the smaller on a
        // tie, although only a few of them are measured.
        const int best = closestSize(f, cell);
        QCOMPARE(f.pixelSize(), best);
        QCOMPARE(Fonts::make(face, cell, bold, italic).pixelSize(), best); // asked again
    }

    // Every cell of the usual range, for each face and style the layouts
    // use: the size picked is the closest by the font's own metrics.
    void fontCellHeightsEverySize()
    {
        for (const char *face : {"Arial", "Arial Black", "MS Sans Serif", "Times New Roman"})
            for (const int style : {0, 1, 3}) { // plain, bold, bold italic
                const bool bold = style & 1, italic = style & 2;
                for (int cell = 8; cell <= 40; ++cell) {
                    const QFont f = Fonts::make(face, cell, bold, italic);
                    const int best = closestSize(f, cell);
                    QVERIFY2(f.pixelSize() == best, qPrintable(QString("%1 %2 style %3: %4, not %5")
                                                                   .arg(face).arg(cell).arg(style)
                                                                   .arg(f.pixelSize()).arg(best)));
                }
            }
    }

    void negativeHeightIsPixelSize()
    {
        QCOMPARE(Fonts::make("Times New Roman", -17, true).pixelSize(), 17);
    }

    void mnemonic_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("letter"); // empty: none
        QTest::newRow("first letter") << "&Tak" << "T";
        QTest::newRow("lower case comes up") << "&nie" << "N";
        QTest::newRow("later letter") << "Pom&oc" << "O";
        QTest::newRow("Polish letter") << "&żółw" << "Ż";
        QTest::newRow("literal ampersand") << "A && B" << "";
        QTest::newRow("after a literal one") << "A &&&B" << "B";
        QTest::newRow("ampersand at the end") << "Koniec&" << "";
        QTest::newRow("the first one counts") << "&Jeden &Dwa" << "J";
    }
    void mnemonic()
    {
        QFETCH(QString, caption);
        QFETCH(QString, letter);
        const QChar got = App::mnemonic(caption);
        QCOMPARE(got.isNull() ? QString() : QString(got), letter);
    }

    void displayTextTurnsCarriageReturns()
    {
        QCOMPARE(App::displayText("a\r\nb\rc"), QString("a\nb\nc"));
    }
};

QTEST_MAIN(TestAppCore)
#include "tst_appcore.moc"
