#include "signals.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QObject>
#include <mutex>
#include <stdexcept>
#include <windows.h>

namespace platform {
namespace {

// How long a console event that ends the process (window closed, logoff,
// shutdown) is held back for the message loop to cancel and clean up: the
// system ends the process as soon as the handler returns, or after its own
// time limit (a few seconds) whichever comes first. ExitProcess of the
// program ends the waiting thread with all the others.
constexpr DWORD kGraceMs = 30000;

// The watch's receiver, a QObject living in the watching thread: the console
// handler runs on a thread of its own and only posts to it. Guarded, since
// the watch may end while an event is being handed over.
std::mutex g_mutex;
QObject *g_receiver = nullptr;
std::function<void(int)> *g_handler = nullptr;
bool g_watching = false;

// Queues handler(signo) on the watching thread's loop; false without a watch.
bool post(int signo)
{
    const std::lock_guard lock(g_mutex);
    if (!g_receiver)
        return false;
    std::function<void(int)> *handler = g_handler;
    // A queued call to an object deleted meanwhile is dropped with it.
    QMetaObject::invokeMethod(
        g_receiver, [handler, signo] { (*handler)(signo); }, Qt::QueuedConnection);
    return true;
}

BOOL WINAPI onConsoleEvent(DWORD event)
{
    int signo = 0;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        signo = SIGINT;
        break;
    case CTRL_CLOSE_EVENT:
        signo = SIGHUP;
        break;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        signo = SIGTERM;
        break;
    default:
        return FALSE;
    }
    if (!post(signo))
        return FALSE; // the next handler: the system's ends the process
    if (signo != SIGINT)
        Sleep(kGraceMs);
    return TRUE;
}

// A GUI program learns of the session's end from its windows, not from the
// console (the console's logoff and shutdown events do not reach a process
// that has loaded user32). WM_QUERYENDSESSION comes first, while the program
// may still run its loop: the installation is cancelled there, so that it
// cleans up before WM_ENDSESSION, after which the process may be ended at
// any moment. A shutdown that another program then refuses has still
// cancelled the installation; it can be started again, a half-written one
// left behind cannot be repaired. The message is not consumed: the toolkit's
// own session handling still answers it.
class EndSessionFilter : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "windows_generic_MSG" && type != "windows_dispatcher_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message == WM_QUERYENDSESSION) {
            if (!m_reported)
                m_reported = post(SIGTERM);
        } else if (msg->message == WM_ENDSESSION) {
            if (!msg->wParam) {
                m_reported = false; // the session goes on
            } else if (!m_reported && m_handler) {
                // Without a query before it: too late for the loop, the
                // handler runs at once.
                m_reported = true;
                (*m_handler)(SIGTERM);
            }
        }
        return false;
    }
    std::function<void(int)> *m_handler = nullptr;

private:
    bool m_reported = false;
};

} // namespace

struct TerminationSignals::Impl {
    std::function<void(int)> handler;
    QObject receiver;
    EndSessionFilter filter;
    bool consoleHandler = false;
};

TerminationSignals::TerminationSignals(std::function<void(int)> handler) : d(std::make_unique<Impl>())
{
    {
        const std::lock_guard lock(g_mutex);
        if (g_watching)
            throw std::logic_error("the termination signals are already watched");
        g_watching = true;
        d->handler = std::move(handler);
        g_handler = &d->handler;
        g_receiver = &d->receiver;
    }
    d->filter.m_handler = &d->handler;
    // A process started in a group of its own inherits Ctrl+C as ignored: the
    // system then calls no handler for it, so it stays ignored here too.
    d->consoleHandler = SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
    // The session's end for the windows (WM_QUERYENDSESSION, WM_ENDSESSION)
    // reaches the program only through the application's native events.
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installNativeEventFilter(&d->filter);
}

TerminationSignals::~TerminationSignals()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeNativeEventFilter(&d->filter);
    if (d->consoleHandler)
        SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    const std::lock_guard lock(g_mutex);
    g_receiver = nullptr;
    g_handler = nullptr;
    g_watching = false;
}

} // namespace platform
