#include "AppCore.h"
#include "Exceptions.h"
#include "Fonts.h"
#include "TvoBtn.h"
#include "inkbox.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QColor Lime(0, 255, 0), Magenta(255, 0, 255), Navy(0, 0, 128), Olive(128, 128, 0), Teal(0, 128, 128),
    Black(0, 0, 0);

QColor at(const QImage &img, int x, int y) { return img.pixelColor(x, y); }

// A picture of two 10 x 10 halves: enabled teal, disabled olive, with a
// magenta top-left pixel (the transparent colour).
QImage twoHalves()
{
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(Teal);
    QPainter(&img).fillRect(10, 0, 10, 10, Olive);
    img.setPixelColor(0, 0, Magenta);
    img.setPixelColor(10, 0, Magenta);
    return img;
}

// A button on a navy window, the window shown.
struct Fixture {
    QWidget window;
    TTvoBtn *btn;
    explicit Fixture(QSize size = {81, 25})
    {
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, Navy);
        window.setPalette(pal);
        window.resize(200, 120);
        btn = new TTvoBtn(&window);
        btn->move(10, 10);
        btn->resize(size);
        btn->setOpis(QString());
        btn->setColor(QColor(200, 200, 200));
    }
};

void enter(QWidget *w)
{
    QEnterEvent e(QPointF(3, 3), QPointF(3, 3), w->mapToGlobal(QPointF(3, 3)));
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

class TestTvoBtn : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { App::initModules(); }
    void defaultsAndOpis();
    void kolorClamped_data();
    void kolorClamped();
    void keyCapColours_data();
    void keyCapColours();
    void ikonkaAndPressedLook_data();
    void ikonkaAndPressedLook();
    void frame_data();
    void frame();
    void caption_data();
    void caption();
    void mouse_data();
    void mouse();
    void clickThatThrows();
    void hooks_data();
    void hooks();
    void contentLeftOut_data();
    void contentLeftOut();
    void accelerator_data();
    void accelerator();
};

void TestTvoBtn::defaultsAndOpis()
{
    TTvoBtn b;
    QCOMPARE(b.size(), QSize(40, 33));
    QCOMPARE(b.typ(), tbWlasny);
    QCOMPARE(b.margines(), 2);
    QVERIFY(b.showFrame() && !b.down() && !b.active() && !b.held());
    QCOMPARE(b.cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(b.font().bold());
    QCOMPARE(b.property("Typ").toInt(), 43);
    // The caption takes the first name given, and only that one.
    b.setObjectName("btnPierwszy");
    QCOMPARE(b.opis(), QString("btnPierwszy"));
    b.setObjectName("btnDrugi");
    QCOMPARE(b.opis(), QString("btnPierwszy"));
    TTvoBtn set;
    set.setProperty("Opis", "&Dalej");
    set.setObjectName("btnDalej");
    QCOMPARE(set.opis(), QString("&Dalej"));
    QCOMPARE(set.accelerator(), QChar('D'));
}

void TestTvoBtn::kolorClamped_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("read");
    QTest::newRow("above") << 7 << 4;
    QTest::newRow("below") << -3 << 0;
    QTest::newRow("inside") << 3 << 3;
}

void TestTvoBtn::kolorClamped()
{
    TTvoBtn b;
    QFETCH(int, set);
    b.setProperty("Kolor", set);
    QTEST(b.kolor(), "read");
}

void TestTvoBtn::keyCapColours_data()
{
    QTest::addColumn<int>("kolor");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QColor>("face");
    QTest::newRow("blue") << 0 << true << QColor(0, 0, 198);
    QTest::newRow("purple") << 1 << true << QColor(140, 0, 132);
    QTest::newRow("olive") << 2 << true << QColor(132, 115, 0);
    QTest::newRow("green") << 3 << true << QColor(0, 132, 0);
    QTest::newRow("red") << 4 << true << QColor(222, 16, 8);
    QTest::newRow("disabled shows the background") << 4 << false << QColor(200, 200, 200);
}

void TestTvoBtn::keyCapColours()
{
    Fixture f({100, 25});
    QFETCH(int, kolor);
    QFETCH(bool, enabled);
    f.btn->setTyp(tbPusty);
    f.btn->setKolor(kolor);
    f.btn->setEnabled(enabled);
    const QImage img = f.btn->grab().toImage();
    // Key cap at (2, 4); its face around the middle of the cell.
    QTEST(at(img, 2 + 11, 4 + 8), "face");
}

void TestTvoBtn::ikonkaAndPressedLook_data()
{
    QTest::addColumn<bool>("down");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QPoint>("picture");
    QTest::addColumn<QColor>("half");
    const QColor face(200, 200, 200);
    QTest::newRow("up") << false << true << face << QPoint(4, 7) << Teal;
    QTest::newRow("down") << true << true << Lime << QPoint(5, 8) << Teal;
    QTest::newRow("disabled") << false << false << face << QPoint(4, 7) << Olive;
}

void TestTvoBtn::ikonkaAndPressedLook()
{
    Fixture f({100, 25});
    QFETCH(bool, down);
    QFETCH(bool, enabled);
    QFETCH(QPoint, picture);
    f.btn->setMargines(4);
    f.btn->setIkonka(twoHalves());
    f.btn->setColorDown(Lime);
    f.btn->setDown(down);
    f.btn->setEnabled(enabled);
    const QImage img = f.btn->grab().toImage();
    QTEST(at(img, 60, 12), "background");
    QTEST(at(img, picture.x() + 5, picture.y() + 5), "half");
    QTEST(at(img, picture.x() + 9, picture.y() + 9), "half");
    // The transparent top-left pixel lets the background through.
    QTEST(at(img, picture.x(), picture.y()), "background");
    QTEST(at(img, picture.x() + 10, picture.y() + 5), "background");
}

void TestTvoBtn::frame_data()
{
    QTest::addColumn<bool>("showFrame");
    QTest::addColumn<bool>("hover");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("down");
    QTest::addColumn<int>("look"); // 0 parent's colour, 1 raised, -1 sunken
    QTest::newRow("always, raised") << true << false << true << false << 1;
    QTest::newRow("always, down is sunken") << true << false << true << true << -1;
    QTest::newRow("always, hover") << true << true << true << false << 1;
    QTest::newRow("disabled keeps it") << true << false << false << false << 1;
    QTest::newRow("hover only, away") << false << false << true << false << 0;
    QTest::newRow("hover only, over") << false << true << true << false << 1;
    QTest::newRow("hover only, over, down") << false << true << true << true << -1;
    QTest::newRow("hover only, disabled") << false << true << false << false << 0;
}

void TestTvoBtn::frame()
{
    Fixture f;
    QFETCH(bool, showFrame);
    QFETCH(bool, hover);
    QFETCH(bool, enabled);
    QFETCH(bool, down);
    QFETCH(int, look);
    f.btn->setShowFrame(showFrame);
    f.btn->setEnabled(enabled);
    f.btn->setDown(down);
    if (hover)
        enter(f.btn);
    QCOMPARE(f.btn->active(), hover);
    const QImage img = f.btn->grab().toImage();
    const QColor tl = at(img, 0, 0), br = at(img, img.width() - 1, img.height() - 1);
    if (look == 0) {
        QCOMPARE(tl, Navy);
        QCOMPARE(br, Navy);
        QCOMPARE(at(img, img.width() / 2, img.height() - 1), Navy);
    } else {
        QVERIFY(tl != Navy && br != Navy);
        QCOMPARE(tl.lightness() > br.lightness(), look > 0);
    }
}

void TestTvoBtn::caption_data()
{
    QTest::addColumn<QSize>("button");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("upward");
    QTest::newRow("wizard button") << QSize(81, 25) << true << false;
    QTest::newRow("wizard button, disabled") << QSize(81, 25) << false << false;
    QTest::newRow("tall button") << QSize(20, 90) << true << true;
}

void TestTvoBtn::caption()
{
    QFETCH(QSize, button);
    QFETCH(bool, enabled);
    QFETCH(bool, upward);
    Fixture f(button);
    f.btn->setOpis("&Wybierz...");
    f.btn->setMargines(10);
    f.btn->setFont(Fonts::make("MS Sans Serif", 16));
    f.btn->setEnabled(enabled);
    const QImage img = f.btn->grab().toImage();
    const QColor textColor = enabled ? Black : QApplication::palette().color(QPalette::Dark);
    const QRect black = inkOf(img, Black, 1);
    const QRect ink = inkOf(img, textColor, 1);
    QVERIFY(!ink.isEmpty());
    if (!enabled)
        QVERIFY(black.isEmpty());
    if (upward) {
        QVERIFY2(ink.height() > 2 * ink.width(), "the caption runs upward");
        QVERIFY(ink.bottom() <= button.height() - 10);
        return;
    }
    // Left-aligned 10 pixels in, vertically centred, the W underlined: the
    // underline is the longest horizontal run of ink, under the first letter.
    QVERIFY2(ink.left() >= 10 && ink.left() <= 12, qPrintable(QString::number(ink.left())));
    QVERIFY(qAbs(ink.top() + ink.bottom() - (button.height() - 1)) <= 4);
    int underline = -1;
    for (int y = ink.bottom(); y >= ink.top() && underline < 0; --y) {
        int run = 0;
        for (int x = ink.left(); x < ink.left() + 12; ++x)
            run += img.pixel(x, y) == textColor.rgb();
        if (run >= 8)
            underline = y;
    }
    QVERIFY2(underline >= 0, "the accelerator letter is underlined");
}

void TestTvoBtn::mouse_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<int>("clicks");
    QTest::newRow("left, inside") << int(Qt::LeftButton) << QPoint(40, 12) << false << 1;
    QTest::newRow("left, released outside") << int(Qt::LeftButton) << QPoint(90, 12) << false << 0;
    QTest::newRow("right gives no click") << int(Qt::RightButton) << QPoint(40, 12) << false << 0;
    QTest::newRow("double click is two clicks") << int(Qt::LeftButton) << QPoint(40, 12) << true << 2;
}

void TestTvoBtn::mouse()
{
    Fixture f;
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    QFETCH(int, button);
    QFETCH(QPoint, release);
    QFETCH(bool, doubleClick);
    const auto b = Qt::MouseButton(button);
    int clicks = 0;
    f.btn->OnClick = [&](QObject *sender) {
        QCOMPARE(sender, f.btn);
        ++clicks;
    };
    QSignalSpy spy(f.btn, &TTvoBtn::clicked);
    enter(f.btn);
    QTest::mousePress(f.btn, b, {}, QPoint(40, 12));
    QVERIFY(f.btn->held());
    QVERIFY(f.btn->pressedLook());
    if (doubleClick) {
        QTest::mouseRelease(f.btn, b, {}, release);
        const QPointF p(40, 12);
        QMouseEvent second(QEvent::MouseButtonDblClick, p, f.btn->mapToGlobal(p), b, b, {});
        QCoreApplication::sendEvent(f.btn, &second);
        QVERIFY(f.btn->held());
        QTest::mouseRelease(f.btn, b, {}, release);
    } else {
        QTest::mouseRelease(f.btn, b, {}, release);
    }
    QTEST(clicks, "clicks");
    QCOMPARE(spy.count(), clicks);
    QVERIFY(!f.btn->held());
    // After a click the hover look is gone until the mouse moves again.
    QCOMPARE(f.btn->active(), clicks == 0);
}

// A handler's error leaves the button in its plain look; raised inside an
// event it reaches the standard report instead of the event loop.
void TestTvoBtn::clickThatThrows()
{
    Fixture f;
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    QStringList reports;
    App::setSystemBoxHook([&](const QString &, const QString &text) { reports << text; });
    enter(f.btn);
    f.btn->OnClick = [](QObject *) { throw EInvalidOperation("Zły katalog"); };
    QVERIFY_THROWS_EXCEPTION(EInvalidOperation, f.btn->click());
    QVERIFY(!f.btn->active() && !f.btn->held());

    QTest::mouseClick(f.btn, Qt::LeftButton, {}, QPoint(5, 5));
    f.btn->OnClick = nullptr;
    f.btn->OnPaint = [](QObject *, QPainter &, QRect) { throw EInvalidOperation("Zły obrazek"); };
    f.btn->repaint();
    f.btn->OnPaint = nullptr;
    QCoreApplication::processEvents();
    App::setSystemBoxHook(nullptr);
    QCOMPARE(reports, QStringList({"Zły katalog.", "Zły obrazek."}));
    QVERIFY(!f.btn->held());
}

void TestTvoBtn::hooks_data()
{
    QTest::addColumn<bool>("drawBtn");
    QTest::addColumn<bool>("drawFrame");
    QTest::addColumn<bool>("down");
    QTest::newRow("both") << true << true << false;
    QTest::newRow("no content") << false << true << false;
    QTest::newRow("no frame") << true << false << false;
    QTest::newRow("neither, down") << false << false << true;
}

void TestTvoBtn::hooks()
{
    Fixture f({60, 25});
    QFETCH(bool, drawBtn);
    QFETCH(bool, drawFrame);
    QFETCH(bool, down);
    f.btn->setDown(down);
    QStringList calls;
    QRect given;
    f.btn->BeforePaint = [&](QObject *, QPainter &c, bool active, bool pressed, bool &btn, bool &frame) {
        calls << "before";
        QVERIFY(!active);
        QCOMPARE(pressed, down);
        QVERIFY(btn && frame);
        QCOMPARE(c.brush().color(), down ? f.btn->colorDown() : QColor(200, 200, 200));
        c.fillRect(0, 0, 60, 25, Lime);
        btn = drawBtn;
        frame = drawFrame;
    };
    f.btn->OnPaint = [&](QObject *, QPainter &c, QRect r) {
        calls << "paint";
        given = r;
        c.fillRect(30, 10, 2, 2, Magenta);
    };
    const QImage img = f.btn->grab().toImage();
    QCOMPARE(calls, QStringList({"before", "paint"}));
    QCOMPARE(given, QRect(1, 1, 58, 23).translated(down, down));
    QCOMPARE(at(img, 30, 10), Magenta);
    QCOMPARE(at(img, 20, 12) == Lime, !drawBtn);
    const QColor corner = drawFrame ? at(img, 0, 0) : drawBtn ? f.btn->color() : Lime;
    QCOMPARE(at(img, 0, 0), corner);
    if (drawFrame)
        QVERIFY(corner != Lime && corner != f.btn->color());
}

void TestTvoBtn::contentLeftOut_data()
{
    QTest::addColumn<bool>("down");
    QTest::addColumn<QColor>("background");
    QTest::newRow("up") << false << QColor(200, 200, 200);
    QTest::newRow("down") << true << Lime;
}

// The off-screen bitmap is shared: a button whose hook leaves out the
// standard content shows its own background there, not the last button's.
void TestTvoBtn::contentLeftOut()
{
    QFETCH(bool, down);
    Fixture f({61, 27});
    auto *before = new TTvoBtn(&f.window);
    before->resize(61, 27);
    before->setOpis(QString());
    before->setColor(Magenta);
    QCOMPARE(at(before->grab().toImage(), 30, 13), Magenta);
    f.btn->setColorDown(Lime);
    f.btn->setDown(down);
    f.btn->BeforePaint = [](QObject *, QPainter &, bool, bool, bool &drawBtn, bool &) { drawBtn = false; };
    QTEST(at(f.btn->grab().toImage(), 30, 13), "background");
}

void TestTvoBtn::accelerator_data()
{
    QTest::addColumn<QString>("opis");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("toEdit");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("clicks");
    QTest::newRow("Alt+W") << "&Wybierz..." << int(Qt::AltModifier) << false << true << true;
    QTest::newRow("Alt+W in the edit box") << "&Wybierz..." << int(Qt::AltModifier) << true << true << true;
    QTest::newRow("W on a button") << "&Wybierz..." << 0 << false << true << true;
    QTest::newRow("W typed into the edit box") << "&Wybierz..." << 0 << true << true << false;
    QTest::newRow("lower-case letter") << "&wybierz" << int(Qt::AltModifier) << false << true << true;
    QTest::newRow("disabled") << "&Wybierz..." << int(Qt::AltModifier) << false << false << false;
    QTest::newRow("\"&&\" is no accelerator") << "&&Wybierz" << int(Qt::AltModifier) << false << true << false;
}

void TestTvoBtn::accelerator()
{
    QFETCH(QString, opis);
    QFETCH(int, modifiers);
    QFETCH(bool, toEdit);
    QFETCH(bool, enabled);
    QWidget window;
    auto *box = new QVBoxLayout(&window);
    auto *edit = new QLineEdit(&window);
    auto *other = new QPushButton("OK", &window);
    auto *btn = new TTvoBtn(&window);
    box->addWidget(edit);
    box->addWidget(other);
    box->addWidget(btn);
    btn->setOpis(opis);
    btn->setEnabled(enabled);
    int clicks = 0;
    btn->OnClick = [&](QObject *) { ++clicks; };
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QWidget *focus = toEdit ? static_cast<QWidget *>(edit) : other;
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_W, Qt::KeyboardModifiers(modifiers));
    QTEST(clicks == 1, "clicks");
    if (toEdit && modifiers == 0)
        QCOMPARE(edit->text(), QString("w"));
}

QTEST_MAIN(TestTvoBtn)
#include "tst_TvoBtn.moc"
