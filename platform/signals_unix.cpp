#include "signals.h"
#include "filehandle.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// The pipe's write end while a watch exists; the handler reads nothing else.
volatile sig_atomic_t g_writeFd = -1;

extern "C" void onTerminationSignal(int signo)
{
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(signo);
    const int fd = g_writeFd;
    if (fd >= 0) {
        // A full pipe already holds enough signals for the program to act on.
        [[maybe_unused]] const ssize_t n = ::write(fd, &b, 1);
    }
    errno = saved;
}

} // namespace

struct TerminationSignals::Impl {
    FileHandle readEnd, writeEnd;
    std::array<struct sigaction, kSignals.size()> previous{};
    std::array<bool, kSignals.size()> caught{};
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<void(int)> handler;

    void drain()
    {
        unsigned char buf[64];
        for (;;) {
            const ssize_t n = ::read(readEnd.get(), buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            for (ssize_t i = 0; i < n; ++i)
                if (handler)
                    handler(buf[i]);
        }
    }
};

TerminationSignals::TerminationSignals(std::function<void(int)> handler) : d(std::make_unique<Impl>())
{
    if (g_writeFd >= 0)
        throw std::logic_error("the termination signals are already watched");
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe2");
    d->readEnd.reset(fds[0]);
    d->writeEnd.reset(fds[1]);
    d->handler = std::move(handler);
    d->notifier = std::make_unique<QSocketNotifier>(fds[0], QSocketNotifier::Read);
    Impl *impl = d.get();
    QObject::connect(d->notifier.get(), &QSocketNotifier::activated, d->notifier.get(), [impl] { impl->drain(); });
    g_writeFd = fds[1];

    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    for (int s : kSignals)
        sigaddset(&sa.sa_mask, s);
    // Interrupted reads and writes of the installation carry on.
    sa.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) {
        struct sigaction &old = d->previous[i];
        if (::sigaction(kSignals[i], nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        d->caught[i] = ::sigaction(kSignals[i], &sa, nullptr) == 0;
    }
}

TerminationSignals::~TerminationSignals()
{
    for (size_t i = 0; i < kSignals.size(); ++i)
        if (d->caught[i])
            ::sigaction(kSignals[i], &d->previous[i], nullptr);
    g_writeFd = -1;
    d->notifier.reset();
}

} // namespace platform
