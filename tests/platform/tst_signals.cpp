#include "signals.h"

#include <QTest>
#include <csignal>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

#ifndef Q_OS_WIN
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
#endif

// Makes the event happen to this process; false when it is not one of this
// system's.
bool cause(const QString &event)
{
#ifdef Q_OS_WIN
    if (event == "Ctrl+C" || event == "Ctrl+Break")
        return GenerateConsoleCtrlEvent(event == "Ctrl+C" ? CTRL_C_EVENT : CTRL_BREAK_EVENT, 0) != 0;
    // The session's end as the windows see it; the filter sees the message
    // whichever window or thread it comes to.
    if (event == "WM_QUERYENDSESSION")
        return PostThreadMessageW(GetCurrentThreadId(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) != 0;
    if (event == "WM_ENDSESSION")
        return PostThreadMessageW(GetCurrentThreadId(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF) != 0;
    if (event == "session goes on")
        return PostThreadMessageW(GetCurrentThreadId(), WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF) != 0;
    return false;
#else
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        if (event == QString::fromLatin1(s == SIGTERM ? "SIGTERM" : s == SIGINT ? "SIGINT" : "SIGHUP"))
            return ::raise(s) == 0;
    return false;
#endif
}

} // namespace

class TestSignals : public QObject {
    Q_OBJECT
private slots:
    void eachSignal_data()
    {
        QTest::addColumn<QStringList>("events"); // caused one after the other
        QTest::addColumn<QList<int>>("seen");
        QTest::newRow("SIGTERM") << QStringList{"SIGTERM", "SIGTERM"} << QList<int>{SIGTERM, SIGTERM};
        QTest::newRow("SIGINT") << QStringList{"SIGINT", "SIGINT"} << QList<int>{SIGINT, SIGINT};
        QTest::newRow("SIGHUP") << QStringList{"SIGHUP", "SIGHUP"} << QList<int>{SIGHUP, SIGHUP};
        // Windows.
        QTest::newRow("Ctrl+C") << QStringList{"Ctrl+C", "Ctrl+C"} << QList<int>{SIGINT, SIGINT};
        QTest::newRow("Ctrl+Break") << QStringList{"Ctrl+Break"} << QList<int>{SIGINT};
        // One session's end is one SIGTERM, however many messages tell of it.
        QTest::newRow("logoff") << QStringList{"WM_QUERYENDSESSION", "WM_QUERYENDSESSION", "WM_ENDSESSION"}
                                << QList<int>{SIGTERM};
        QTest::newRow("logoff without a query") << QStringList{"WM_ENDSESSION"} << QList<int>{SIGTERM};
        QTest::newRow("logoff refused, then again")
            << QStringList{"WM_QUERYENDSESSION", "session goes on", "WM_QUERYENDSESSION"} << QList<int>{SIGTERM, SIGTERM};
    }

    // The handler runs from the message loop, not inside the signal handler,
    // once per signal; afterwards the signal is handled as before the watch.
    void eachSignal()
    {
        QFETCH(QStringList, events);
        QFETCH(QList<int>, seen);
        QList<int> got;
#ifndef Q_OS_WIN
        const int signo = seen.first();
        const quintptr before = handlerOf(signo);
#endif
        {
            platform::TerminationSignals watch([&](int s) { got << s; });
#ifndef Q_OS_WIN
            QCOMPARE(disposition(signo), QString("caught"));
            QVERIFY(handlerOf(signo) != before);
#endif
            for (const QString &event : events)
                if (!cause(event))
                    QSKIP("not an event of this system, or no console to have it");
            QVERIFY(got.isEmpty()); // nothing ran inside the signal handler
            QTRY_COMPARE(got, seen);
            QTest::qWait(50);
            QCOMPARE(got, seen); // nothing more
        }
#ifndef Q_OS_WIN
        QCOMPARE(handlerOf(signo), before);
#else
        if (events.first().startsWith("WM_")) { // the watch's end: nothing reaches the handler
            QVERIFY(cause(events.first()));
            QTest::qWait(50);
            QCOMPARE(got, seen);
        }
#endif
    }

    // A signal the process inherited as ignored (nohup) stays ignored; so
    // does Ctrl+C for a Windows process started in a group of its own.
    void ignoredStaysIgnored()
    {
#ifdef Q_OS_WIN
        const QString event = "Ctrl+C";
        QVERIFY(SetConsoleCtrlHandler(nullptr, TRUE));
#else
        const QString event = "SIGHUP";
        ::signal(SIGHUP, SIG_IGN);
#endif
        int calls = 0;
        {
            platform::TerminationSignals watch([&](int) { ++calls; });
#ifndef Q_OS_WIN
            QCOMPARE(disposition(SIGHUP), QString("ignored"));
            QCOMPARE(disposition(SIGTERM), QString("caught"));
#endif
            if (!cause(event))
                QSKIP("no console to have the event");
            QTest::qWait(200);
        }
        QCOMPARE(calls, 0);
#ifdef Q_OS_WIN
        SetConsoleCtrlHandler(nullptr, FALSE);
#else
        QCOMPARE(disposition(SIGHUP), QString("ignored"));
        ::signal(SIGHUP, SIG_DFL);
#endif
    }

    void oneWatchAtATime()
    {
        QList<int> got;
        platform::TerminationSignals watch([&](int s) { got << s; });
        QVERIFY_THROWS_EXCEPTION(std::logic_error, platform::TerminationSignals([](int) {}));
        // The first watch still works after the refused one.
#ifdef Q_OS_WIN
        QVERIFY(cause("WM_ENDSESSION"));
#else
        QCOMPARE(disposition(SIGTERM), QString("caught"));
        QVERIFY(cause("SIGTERM"));
#endif
        QTRY_COMPARE(got, QList<int>{SIGTERM});
    }
};

QTEST_GUILESS_MAIN(TestSignals)
#include "tst_signals.moc"
