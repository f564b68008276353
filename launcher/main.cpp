// The self-contained installer's outer program: it unpacks the runtime (the
// Qt installer with the libraries, plugin and fonts it needs) from its own
// resource store into a private folder, runs the installer from there with
// TVO_SETUP_FILE naming this file, passes on end signals, removes the folder
// on every way out and returns the installer's exit code. No Qt here.
#include "child.h"
#include "resstore.h"
#include "rundir.h"
#include "unpack.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kStartupRefused = 1; // the installer's own code for "cannot start"

std::string ownFile()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, std::size_t(n)) : std::string();
}

int refuse(const std::string &why)
{
    std::fprintf(stderr, "setup: %s\n", why.c_str());
    return kStartupRefused;
}

// Ends this process the way the signal would have ended it.
[[noreturn]] void dieBy(int sig)
{
    std::signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(sig);
    ::_exit(128 + sig);
}

} // namespace

int main(int argc, char *argv[])
{
    launcher::blockEndSignals();
    const std::string self = ownFile();
    if (self.empty())
        return refuse("cannot find the installer's own file");

    int status = 0;
    {
        launcher::RunDir dir;
        launcher::UnpackResult unpacked = launcher::unpackRuntime(self, dir);
        if (unpacked.signal) {
            dir.remove();
            dieBy(unpacked.signal);
        }
        if (!unpacked.error.empty())
            return refuse(unpacked.error);

        std::vector<std::string> args(argv, argv + argc);
        std::string why;
        status = launcher::runAndWait(dir.path() + "/" + launcher::kInnerProgram, args,
                                      launcher::environmentWith("TVO_SETUP_FILE", self), why);
        if (status < 0)
            return refuse(why);
    } // the folder is removed here
    if (WIFSIGNALED(status))
        dieBy(WTERMSIG(status));
    return WIFEXITED(status) ? WEXITSTATUS(status) : kStartupRefused;
}
