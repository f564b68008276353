#include "signals.h"

#include <QTest>
#include <csignal>

namespace {

// What the signal does now: "default", "ignored" or "caught".
QString disposition(int signo)
{
    struct sigaction sa {};
    sigaction(signo, nullptr, &sa);
    return sa.sa_handler == SIG_DFL ? "default" : sa.sa_handler == SIG_IGN ? "ignored" : "caught";
}

// The handler function in place now (the test library has its own).
quintptr handlerOf(int signo)
{
    struct sigaction sa {};
    sigaction(signo, nullptr, &sa);
    return quintptr(sa.sa_handler);
}

} // namespace

class TestSignals : public QObject {
    Q_OBJECT
private slots:
    void eachSignal_data()
    {
        QTest::addColumn<int>("signo");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    // The handler runs from the message loop, not inside the signal handler,
    // once per signal; afterwards the signal is handled as before the watch.
    void eachSignal()
    {
        QFETCH(int, signo);
        QList<int> seen;
        const quintptr before = handlerOf(signo);
        {
            platform::TerminationSignals watch([&](int s) { seen << s; });
            QCOMPARE(disposition(signo), QString("caught"));
            QVERIFY(handlerOf(signo) != before);
            ::raise(signo);
            ::raise(signo);
            QVERIFY(seen.isEmpty()); // nothing ran inside the signal handler
            QTRY_COMPARE(seen, QList<int>({signo, signo}));
        }
        QCOMPARE(handlerOf(signo), before);
    }

    // A signal the process inherited as ignored (nohup) stays ignored.
    void ignoredStaysIgnored()
    {
        ::signal(SIGHUP, SIG_IGN);
        int calls = 0;
        {
            platform::TerminationSignals watch([&](int) { ++calls; });
            QCOMPARE(disposition(SIGHUP), QString("ignored"));
            QCOMPARE(disposition(SIGTERM), QString("caught"));
            ::raise(SIGHUP);
            QTest::qWait(50);
        }
        QCOMPARE(calls, 0);
        QCOMPARE(disposition(SIGHUP), QString("ignored"));
        ::signal(SIGHUP, SIG_DFL);
    }

    void oneWatchAtATime()
    {
        platform::TerminationSignals watch([](int) {});
        QVERIFY_THROWS_EXCEPTION(std::logic_error, platform::TerminationSignals([](int) {}));
        // The first watch still works after the refused one.
        QCOMPARE(disposition(SIGTERM), QString("caught"));
    }
};

QTEST_GUILESS_MAIN(TestSignals)
#include "tst_signals.moc"
