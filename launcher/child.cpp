#include "child.h"

#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace launcher {
namespace {

std::vector<char *> pointers(const std::vector<std::string> &strings)
{
    std::vector<char *> p;
    for (const std::string &s : strings)
        p.push_back(const_cast<char *>(s.c_str()));
    p.push_back(nullptr);
    return p;
}

void onChild(int) {}

} // namespace

sigset_t endSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

void blockEndSignals()
{
    const sigset_t set = endSignals();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
}

int takePendingSignal()
{
    const sigset_t set = endSignals();
    const timespec zero {};
    const int sig = ::sigtimedwait(&set, nullptr, &zero);
    return sig > 0 ? sig : 0;
}

std::vector<std::string> environmentWith(const std::string &name, const std::string &value)
{
    std::vector<std::string> env;
    const std::string prefix = name + "=";
    for (char **e = environ; e && *e; ++e)
        if (std::strncmp(*e, prefix.c_str(), prefix.size()) != 0)
            env.emplace_back(*e);
    env.push_back(prefix + value);
    return env;
}

int runAndWait(const std::string &program, const std::vector<std::string> &args,
               const std::vector<std::string> &env, std::string &why)
{
    // SIGCHLD is blocked and caught (a default-ignored signal would not wait
    // for sigwaitinfo), the end signals are blocked already.
    struct sigaction sa {};
    sa.sa_handler = onChild;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGCHLD, &sa, nullptr);
    sigset_t waitFor = endSignals();
    sigaddset(&waitFor, SIGCHLD);
    ::sigprocmask(SIG_BLOCK, &waitFor, nullptr);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    defaults = waitFor;
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char *> argv = pointers(args), envp = pointers(env);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, program.c_str(), nullptr, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        why = "cannot start " + program + ": " + std::strerror(rc);
        return -1;
    }

    // SIGCHLD wakes the wait at once; the timeout covers a process where
    // another thread took it.
    const timespec tick {0, 100 * 1000 * 1000};
    while (true) {
        siginfo_t info {};
        const int sig = ::sigtimedwait(&waitFor, &info, &tick);
        if (sig > 0 && sig != SIGCHLD) {
            // si_code <= 0: sent by a process (kill, sigqueue, tgkill); the
            // kernel's own (a terminal's ^C or hang-up) went to the group.
            if (info.si_code <= 0)
                ::kill(pid, sig);
            continue;
        }
        if (sig < 0 && errno != EAGAIN && errno != EINTR) {
            why = std::string("waiting for the installer: ") + std::strerror(errno);
            return -1;
        }
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return status;
        if (done < 0 && errno != EINTR) {
            why = std::string("waiting for the installer: ") + std::strerror(errno);
            return -1;
        }
    }
}

} // namespace launcher
