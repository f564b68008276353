// Paced widgets take every change at once, reach the screen only when the
// pacer draws them, and show their last state when the pacer ends.
#include "FramePacer.h"
#include "Gauges.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QThread>

class TestFramePacer : public QObject {
    Q_OBJECT

    static constexpr int kNever = 3600 * 1000; // a frame no test outlasts

private slots:
    void changesAreKeptButDrawnOncePerFrame()
    {
        QWidget window;
        auto *gauge = new TGauge(&window);
        gauge->setMaxValue(1000);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const int before = gauge->paintCount();
        {
            TFramePacer pacer({gauge}, kNever);
            for (int i = 1; i <= 1000; ++i) {
                gauge->setProgress(i);
                pacer.frame();
            }
            QCOMPARE(gauge->progress(), 1000); // every change was made
            QCOMPARE(gauge->paintCount(), before); // none was drawn
            pacer.flush();
            QCOMPARE(gauge->paintCount(), before + 1);
            gauge->setProgress(7); // held, like every change while paced
            QCOMPARE(gauge->paintCount(), before + 1);
        }
        // The end of the pacer shows the last state and gives the gauge its
        // own at-once repaint back.
        QCOMPARE(gauge->paintCount(), before + 2);
        QVERIFY(gauge->updatesEnabled());
        gauge->setProgress(500); // a new percentage
        QCOMPARE(gauge->paintCount(), before + 3);
    }

    void frameDrawsOnceTheFrameTimeIsOver()
    {
        QWidget window;
        auto *gauge = new TGauge(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        TFramePacer pacer({gauge}, 1);
        gauge->setProgress(50);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 3)
            QThread::usleep(500);
        const int before = gauge->paintCount();
        pacer.frame();
        QCOMPARE(gauge->paintCount(), before + 1);
        QCOMPARE(pacer.frames(), 1);
    }

    void widgetsKeepTheirOwnSetting()
    {
        // A widget whose painting was already held stays held, and one that
        // goes away while paced is left alone.
        QWidget window;
        auto *held = new QLabel(&window);
        held->setUpdatesEnabled(false);
        auto *gone = new QLabel(&window);
        window.show();
        {
            TFramePacer pacer({held, gone, nullptr}, kNever);
            delete gone;
            held->setText("x");
            pacer.flush();
        }
        QVERIFY(!held->updatesEnabled());
    }

    void frameTimeFromTheScreen()
    {
        TFramePacer pacer({});
        QVERIFY(pacer.frameMs() >= 1 && pacer.frameMs() <= 100);
    }
};

QTEST_MAIN(TestFramePacer)
#include "tst_FramePacer.moc"
