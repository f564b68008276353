#include "AppCore.h"
#include "HintBar.h"
#include "ui_hintbarform.h"

#include <QKeyEvent>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

namespace {

// A window that records the keys its children let through.
class KeyWindow : public QWidget {
public:
    QList<int> passed;

protected:
    void keyPressEvent(QKeyEvent *e) override { passed << e->key(); }
};

// Pixels of exactly colour c in the columns [x0, x1) of the image.
int countColor(const QImage &img, int x0, int x1, QColor c)
{
    int n = 0;
    for (int x = std::max(0, x0); x < std::min(img.width(), x1); ++x)
        for (int y = 0; y < img.height(); ++y)
            n += img.pixelColor(x, y).rgb() == c.rgb();
    return n;
}

// Leftmost / rightmost column holding a pixel that is not the background.
std::pair<int, int> inkSpan(const QImage &img, int x0, int x1, QColor bg)
{
    int first = -1, last = -1;
    for (int x = x0; x < x1; ++x)
        for (int y = 0; y < img.height(); ++y)
            if (img.pixelColor(x, y).rgb() != bg.rgb()) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

// Counts its live copies: a handler that holds one can tell whether it is
// still alive while it runs.
struct Guard {
    static inline int live = 0;
    Guard() { ++live; }
    Guard(const Guard &) { ++live; }
    ~Guard() { --live; }
};

const QColor Lime(0x00, 0xFF, 0x00), Red(0xFF, 0x00, 0x00), Silver(0xC0, 0xC0, 0xC0),
    White(0xFF, 0xFF, 0xFF), Black(0, 0, 0), Grey(0x80, 0x80, 0x80), Yellow(0xFF, 0xFF, 0x00),
    LightRed(0xFF, 0x44, 0x44);

} // namespace

class TestHintBar : public QObject {
    Q_OBJECT

    // A shown bar as the wizard window sets it up, buttons hidden.
    std::unique_ptr<QWidget> window;
    THintBar *bar = nullptr;

    QImage grabBar()
    {
        bar->repaint();
        return bar->grab().toImage();
    }
    // A flash only starts or ends through the bar's timer: with it stopped,
    // nothing will change the flash state any more.
    bool flashTimerRunning() const
    {
        const auto *timer = bar->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
        return timer && timer->isActive();
    }

private slots:
    void initTestCase() { App::initModules(); }

    void init()
    {
        window = std::make_unique<KeyWindow>();
        window->resize(780, 473);
        bar = new THintBar(window.get());
        bar->setGeometry(0, 447, 780, 26);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void constructionDefaults()
    {
        THintBar b;
        QCOMPARE(b.height(), 24);
        QCOMPARE(b.btnWidth(), 75);
        QVERIFY(b.active() && b.helpButtonShown() && !b.errorState() && !b.flashMode());
        QCOMPARE(b.helpButton()->text(), QString("Pomoc"));
        QCOMPARE(b.helpButton()->toolTip(), QString("F1"));
        QCOMPARE(b.acceptButton()->toolTip(), QString("Enter"));
        QCOMPARE(b.cancelButton()->toolTip(), QString("Esc"));
        QCOMPARE(b.acceptButton()->height(), 0);
        QCOMPARE(b.cancelButton()->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(QPixmap(":/HINTBARACCEPT").size(), QSize(16, 16));
        QCOMPARE(QPixmap(":/HINTBARCANCEL").size(), QSize(16, 16));
        QCOMPARE(QPixmap(":/HINTBARHELP").size(), QSize(12, 12));
    }

    void layout_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("help");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<int>("margin");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("acceptX"); // -1: hidden
        // bar 780 wide, buttons 90 wide
        QTest::newRow("26 all") << 26 << true << true << true << 3 << 96 << 591 << 594;
        QTest::newRow("24 all") << 24 << true << true << true << 2 << 95 << 592 << 595;
        QTest::newRow("21 all") << 21 << true << true << true << 0 << 93 << 594 << 597;
        QTest::newRow("18 negative margin") << 18 << true << true << true << -1 << 92 << 595 << 598;
        QTest::newRow("no buttons") << 26 << false << false << false << 3 << 3 << 777 << -1;
        QTest::newRow("accept at far right") << 26 << false << true << false << 3 << 3 << 684 << 687;
        QTest::newRow("cancel only") << 26 << true << false << true << 3 << 96 << 684 << -1;
    }
    void layout()
    {
        QFETCH(int, height);
        QFETCH(bool, help);
        QFETCH(bool, accept);
        QFETCH(bool, cancel);
        QFETCH(int, margin);
        QFETCH(int, left);
        QFETCH(int, right);
        QFETCH(int, acceptX);
        const HintBarLayout l = computeHintBarLayout(780, height, 90, help, accept, cancel);
        QCOMPARE(l.margin, margin);
        QCOMPARE(l.textLeft, left);
        QCOMPARE(l.textRight, right);
        QCOMPARE(l.accept.height(), acceptX < 0 ? 0 : 20);
        if (acceptX >= 0)
            QCOMPARE(l.accept.left(), acceptX);
        QCOMPARE(l.help.height(), help ? 20 : 0);
        QCOMPARE(l.cancel.height(), cancel ? 20 : 0);
        QCOMPARE(l.accept.top(), margin);

        // The widget applies the same layout.
        bar->resize(780, height);
        bar->setBtnWidth(90);
        bar->setHelpButton(help);
        bar->setTextAccept(accept ? "DALEJ" : "");
        bar->setTextCancel(cancel ? "Zamknij" : "");
        QCOMPARE(bar->textLeftEdge(), left);
        QCOMPARE(bar->textRightEdge(), right);
        QCOMPARE(bar->acceptButton()->height(), l.accept.height());
        if (acceptX >= 0)
            QCOMPARE(bar->acceptButton()->geometry(), l.accept);
    }

    void captionsShowAndHideButtons()
    {
        bar->setBtnWidth(90);
        bar->setTextAccept("DALEJ");
        bar->setTextCancel("Zamknij");
        const int right = bar->textRightEdge();
        bar->setTextAccept("");
        QCOMPARE(bar->acceptButton()->height(), 0);
        QCOMPARE(bar->textRightEdge(), right + 93);
        bar->setTextAccept("Dalej");
        QCOMPARE(bar->acceptButton()->height(), 20);
        QCOMPARE(bar->textRightEdge(), right);
        QCOMPARE(bar->textAccept(), QString("Dalej"));
    }

    void docksAtParentBottom()
    {
        QCOMPARE(bar->geometry(), QRect(0, 447, 780, 26));
        window->resize(600, 300);
        QTRY_COMPARE(bar->geometry(), QRect(0, 274, 600, 26));
        bar->move(10, 10); // the dock wins over a stray position
        QCOMPARE(bar->geometry(), QRect(0, 274, 600, 26));
        QCOMPARE(bar->textRightEdge(), 600 - 3);
    }

    void propertiesByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("BtnWidth") << "BtnWidth" << QVariant(90);
        QTest::newRow("Active") << "Active" << QVariant(false);
        QTest::newRow("HelpButton") << "HelpButton" << QVariant(false);
        QTest::newRow("ErrorState") << "ErrorState" << QVariant(true);
        for (const char *n : {"TextAccept", "TextCancel", "TextLeft", "TextCenter", "TextRight",
                              "HelpHint", "AcceptHint", "CancelHint"})
            QTest::newRow(n) << QString(n) << QVariant(QString("Zażółć"));
    }
    void propertiesByName()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        QVERIFY(bar->setProperty(name.toLatin1(), value));
        QCOMPARE(bar->property(name.toLatin1()), value);
    }

    void flashSettingsAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("kept");
        QTest::newRow("FlashInterval") << QByteArray("FlashInterval") << false;
        QTest::newRow("Flash") << QByteArray("Flash") << false;
        QTest::newRow("other dynamic") << QByteArray("note") << true;
    }
    void flashSettingsAreIgnored()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, kept);
        QTest::failOnWarning(QRegularExpression(".*"));
        bar->setProperty(name.constData(), 300);
        QCOMPARE(bar->dynamicPropertyNames().contains(name), kept);
        QVERIFY(!bar->flashMode());
    }

    void storedLayoutLoads()
    {
        QTest::failOnWarning(QRegularExpression(".*"));
        QWidget form;
        Ui::HintBarForm ui;
        ui.setupUi(&form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(ui.hb->textCenter(), QString("Witaj"));
        QCOMPARE(ui.hb->btnWidth(), 90);
        QCOMPARE(ui.hb->acceptButton()->geometry(), QRect(400 - 3 - 90, 3, 90, 20));
        QVERIFY(ui.hb->dynamicPropertyNames().isEmpty());
        QCOMPARE(ui.hb->geometry(), QRect(0, 94, 400, 26));
    }

    void paintColours_data()
    {
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("error");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("background");
        QTest::newRow("normal") << true << false << Lime << Black;
        QTest::newRow("error") << true << true << Red << Black;
        QTest::newRow("inactive") << false << false << Silver << Grey;
        QTest::newRow("inactive error") << false << true << Silver << Grey;
    }
    void paintColours()
    {
        QFETCH(bool, active);
        QFETCH(bool, error);
        QFETCH(QColor, text);
        QFETCH(QColor, background);
        bar->setTextCenter("HHHHHHHH");
        bar->setActive(active);
        bar->setErrorState(error);
        const QImage img = grabBar();
        QCOMPARE(img.pixelColor(bar->textLeftEdge() + 2, 1), background);
        QCOMPARE(img.pixelColor(bar->width() - 1, 0), background);
        QVERIFY(countColor(img, 0, img.width(), text) > 20);
        // The yellow echo only while the error shows in colour.
        QCOMPARE(countColor(img, 0, img.width(), Yellow) > 20, active && error);
        for (QColor other : {Lime, Red, Silver})
            if (other != text)
                QCOMPARE(countColor(img, bar->textLeftEdge(), bar->textRightEdge(), other), 0);
    }

    void tagColours_data()
    {
        QTest::addColumn<bool>("active");
        QTest::addColumn<QColor>("before");
        QTest::addColumn<QColor>("tagged");
        QTest::newRow("active") << true << Lime << LightRed;
        QTest::newRow("inactive ignores tags") << false << Silver << Silver;
    }
    void tagColours()
    {
        QFETCH(bool, active);
        QFETCH(QColor, before);
        QFETCH(QColor, tagged);
        bar->setActive(active);
        bar->setTextCenter("HHHHHH#RED#HHHHHH#NORMAL#HHHHHH");
        const QImage img = grabBar();
        // The stripped text is centred, so its thirds fall around the middle.
        const QFontMetrics fm(SelectFont(true, true, false, false).font);
        const int third = fm.horizontalAdvance("HHHHHH");
        const int mid = (bar->textLeftEdge() + bar->textRightEdge()) / 2;
        const int x0 = mid - third * 3 / 2, x1 = mid - third / 2, x2 = mid + third / 2;
        QVERIFY(countColor(img, x0, x1 - 1, before) > 10);
        QVERIFY(countColor(img, x1 + 1, x2 - 1, tagged) > 10);
        QVERIFY(countColor(img, x2 + 1, x2 + third, before) > 10);
        if (tagged != before) {
            QCOMPARE(countColor(img, x1 + 1, x2 - 1, before), 0);
            QCOMPARE(countColor(img, 0, x1 - 1, tagged), 0);
            QCOMPARE(countColor(img, x2 + 1, img.width(), tagged), 0);
        }
    }

    void tooWideTextStartsAtLeftEdge()
    {
        bar->setHelpButton(false);
        bar->setTextCenter(QString(200, 'W'));
        const QImage img = grabBar();
        const auto [first, last] = inkSpan(img, 0, img.width(), Black);
        QVERIFY(first >= bar->textLeftEdge());
        QVERIFY(first <= bar->textLeftEdge() + 2);
        QVERIFY(last < bar->textRightEdge());
        QVERIFY(last >= bar->textRightEdge() - 3);
    }

    void sideTextsAndFlash()
    {
        bar->setTextLeft("LLLL");
        bar->setTextRight("RRRR");
        bar->setTextCenter("CCCC");
        const int left = bar->textLeftEdge(), right = bar->textRightEdge();
        QImage img = grabBar();
        QVERIFY(countColor(img, left, left + 30, White) > 10);
        QVERIFY(countColor(img, right - 30, right, White) > 10);
        // A flash replaces all three texts.
        bar->FlashTextTimed("Flash", 0, 5000);
        QTRY_VERIFY(bar->flashMode());
        img = grabBar();
        QCOMPARE(countColor(img, left, left + 30, White), 0);
        QCOMPARE(countColor(img, right - 30, right, White), 0);
        QCOMPARE(countColor(img, left, right, Lime), 0);
        QVERIFY(countColor(img, left, right, White) > 10);
    }

    void flashShowsAfterDelayThenEnds()
    {
        bar->FlashTextTimed("abc", 100, 300);
        QVERIFY(!bar->flashMode());
        QTRY_VERIFY_WITH_TIMEOUT(bar->flashMode(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(!bar->flashMode(), 3000);
        QVERIFY(!flashTimerRunning()); // nothing left to turn it on again
    }

    void flashCancelledWithinDelay()
    {
        bar->FlashText("abc");
        QVERIFY(flashTimerRunning());
        bar->FlashText("");
        QVERIFY(!bar->flashMode());
        QVERIFY(!flashTimerRunning()); // the waiting flash is gone, not just late
    }

    void flashChangesAndEndsWhileShowing()
    {
        bar->FlashTextTimed("one", 0, 5000);
        QTRY_VERIFY(bar->flashMode());
        bar->FlashTextTimed("two", 0, 5000);
        QVERIFY(bar->flashMode());
        bar->FlashTextTimed("", 0, 5000);
        QVERIFY(!bar->flashMode());
    }

    void showTextEndsFlashAndSuppresses()
    {
        bar->setErrorState(true);
        bar->FlashTextTimed("abc", 0, 5000);
        QTRY_VERIFY(bar->flashMode());
        bar->ShowText("hint");
        QVERIFY(!bar->flashMode());
        QCOMPARE(bar->textCenter(), QString("hint"));
        QVERIFY(!bar->errorState());
        bar->FlashTextTimed("ignored", 0, 5000);
        QVERIFY(!bar->flashMode());
        QTRY_VERIFY_WITH_TIMEOUT(!flashTimerRunning(), 3000); // suppression over
        QVERIFY(!bar->flashMode());                           // and the ignored flash never came
        bar->FlashTextTimed("shown", 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(bar->flashMode(), 2000);
    }

    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("captions");
        QTest::addColumn<QString>("ran");
        QTest::addColumn<bool>("passed");
        const int none = Qt::NoModifier;
        QTest::newRow("Enter") << int(Qt::Key_Return) << none << true << true << "accept" << false;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true << true << "accept" << false;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << none << true << true << "cancel" << false;
        QTest::newRow("F1") << int(Qt::Key_F1) << none << true << true << "help" << false;
        QTest::newRow("Shift+Enter") << int(Qt::Key_Return) << int(Qt::ShiftModifier) << true << true << "" << true;
        QTest::newRow("Ctrl+Esc") << int(Qt::Key_Escape) << int(Qt::ControlModifier) << true << true << "" << true;
        QTest::newRow("Alt+F1") << int(Qt::Key_F1) << int(Qt::AltModifier) << true << true << "" << true;
        QTest::newRow("other key") << int(Qt::Key_A) << none << true << true << "" << true;
        QTest::newRow("inactive Enter") << int(Qt::Key_Return) << none << false << true << "" << false;
        QTest::newRow("inactive F1") << int(Qt::Key_F1) << none << false << true << "" << false;
        QTest::newRow("hidden accept") << int(Qt::Key_Return) << none << true << false << "" << false;
        QTest::newRow("hidden cancel") << int(Qt::Key_Escape) << none << true << false << "" << false;
    }
    void keys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, active);
        QFETCH(bool, captions);
        QFETCH(QString, ran);
        QFETCH(bool, passed);
        QStringList calls;
        QObject *sender = nullptr;
        const auto record = [&](const char *what) {
            return [&, what](QObject *s) {
                calls << what;
                sender = s;
            };
        };
        bar->setOnAccept(record("accept"));
        bar->setOnCancel(record("cancel"));
        bar->setOnHelp(record("help"));
        bar->setTextAccept(captions ? "DALEJ" : "");
        bar->setTextCancel(captions ? "Zamknij" : "");
        bar->setActive(active);
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(calls, ran.isEmpty() ? QStringList() : QStringList(ran));
        if (!ran.isEmpty())
            QCOMPARE(sender, bar);
        QCOMPARE(static_cast<KeyWindow *>(window.get())->passed.contains(key), passed);
    }

    void clicks_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("barIsSender");
        QTest::newRow("accept") << "accept" << true << false;
        QTest::newRow("cancel") << "cancel" << true << false;
        QTest::newRow("help") << "help" << true << true;
        QTest::newRow("inactive accept") << "accept" << false << false;
        QTest::newRow("inactive help") << "help" << false << true;
    }
    void clicks()
    {
        QFETCH(QString, button);
        QFETCH(bool, active);
        QFETCH(bool, barIsSender);
        QList<QObject *> senders;
        const TNotifyEvent record = [&](QObject *s) { senders << s; };
        bar->setOnAccept(button == "accept" ? record : nullptr);
        bar->setOnCancel(button == "cancel" ? record : nullptr);
        bar->setOnHelp(button == "help" ? record : nullptr);
        bar->setTextAccept("DALEJ");
        bar->setTextCancel("Zamknij");
        bar->setActive(active);
        QAbstractButton *b = button == "accept" ? bar->acceptButton()
                             : button == "cancel" ? bar->cancelButton()
                                                  : bar->helpButton();
        QTest::mouseClick(b, Qt::LeftButton);
        if (!active) {
            QVERIFY(senders.isEmpty());
            return;
        }
        QCOMPARE(senders.size(), 1);
        QCOMPARE(senders.first(), barIsSender ? static_cast<QObject *>(bar) : b);
    }

    // A page switch inside a handler sets the next page's handler: the
    // running handler must stay intact until it returns.
    void handlerMayReplaceItself_data()
    {
        QTest::addColumn<QString>("trigger");
        for (const char *t : {"accept click", "Enter", "help click", "F1"})
            QTest::newRow(t) << QString(t);
    }
    void handlerMayReplaceItself()
    {
        QFETCH(QString, trigger);
        static THintBar *target;
        static QList<int> seen;
        target = bar;
        seen.clear();
        const bool help = trigger.contains("help") || trigger == "F1";
        TNotifyEvent first = [g = Guard()](QObject *) {
            if (target->onHelp())
                target->setOnHelp([](QObject *) { seen << -1; });
            else
                target->setOnAccept([](QObject *) { seen << -1; });
            seen << Guard::live;
        };
        help ? bar->setOnHelp(std::move(first)) : bar->setOnAccept(std::move(first));
        bar->setTextAccept("DALEJ");
        for (int round = 0; round < 2; ++round) {
            if (trigger.contains("click"))
                QTest::mouseClick(help ? bar->helpButton() : bar->acceptButton(), Qt::LeftButton);
            else
                QTest::keyClick(bar, trigger == "F1" ? Qt::Key_F1 : Qt::Key_Return);
        }
        QCOMPARE(seen, QList<int>({1, -1}));
        QCOMPARE(Guard::live, 0);
    }
};

QTEST_MAIN(TestHintBar)
#include "tst_HintBar.moc"
