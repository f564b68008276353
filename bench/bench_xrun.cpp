// Drives a program under an X server the way a user would and times it from
// outside, without Qt:
//   bench_xrun map -- PROGRAM [ARGS...]
//       seconds from the start of the process until its first window of at
//       least 100 x 100 pixels is mapped; the program is then ended.
//   bench_xrun install FILE ENTERS -- PROGRAM [ARGS...]
//       waits for the window, focuses it, presses Enter ENTERS times (the
//       last one starts the work) and prints the seconds from that last key
//       until FILE exists; then ends the program with SIGTERM.
// Each prints "seconds <s>" and "maxrss_kb <k>" (the peak resident memory of
// the program, from wait4). Keys go through the XTEST extension (libXtst,
// loaded at run time), falling back to xdotool.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

[[noreturn]] void die(const char *what)
{
    std::fprintf(stderr, "bench_xrun: %s\n", what);
    std::exit(2);
}

pid_t spawn(char **argv)
{
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv);
        _exit(127);
    }
    return pid;
}

// The first top-level window of at least 100 x 100 that is mapped.
Window waitForMap(Display *d, pid_t pid, double timeout)
{
    const Clock::time_point start = Clock::now();
    while (since(start) < timeout) {
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type != MapNotify || e.xmap.override_redirect)
                continue;
            XWindowAttributes a;
            if (XGetWindowAttributes(d, e.xmap.window, &a) && a.width >= 100 && a.height >= 100)
                return e.xmap.window;
        }
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid)
            die("the program ended before it showed a window");
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    die("no window appeared");
}

using FakeKey = int (*)(Display *, unsigned, Bool, unsigned long);

void pressEnter(Display *d, Window w)
{
    static FakeKey fake = [] {
        void *lib = dlopen("libXtst.so.6", RTLD_NOW);
        return lib ? reinterpret_cast<FakeKey>(dlsym(lib, "XTestFakeKeyEvent")) : nullptr;
    }();
    XSetInputFocus(d, w, RevertToParent, CurrentTime);
    if (fake) {
        const unsigned code = XKeysymToKeycode(d, XK_Return);
        fake(d, code, True, 0);
        fake(d, code, False, 0);
        XSync(d, False);
        return;
    }
    XSync(d, False);
    const std::string cmd = "xdotool key --window " + std::to_string(w) + " Return";
    if (std::system(cmd.c_str()) != 0)
        die("xdotool failed");
}

long endProgram(pid_t pid)
{
    kill(pid, SIGTERM);
    int status;
    struct rusage ru {};
    for (int i = 0; i < 500; ++i) {
        if (wait4(pid, &status, WNOHANG, &ru) == pid)
            return ru.ru_maxrss;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    wait4(pid, &status, 0, &ru);
    return ru.ru_maxrss;
}

bool exists(const char *path)
{
    struct stat st;
    return stat(path, &st) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    int sep = 1;
    while (sep < argc && std::strcmp(argv[sep], "--") != 0)
        ++sep;
    if (argc < 3 || sep + 1 >= argc)
        die("usage: bench_xrun map|install FILE ENTERS -- PROGRAM [ARGS...]");
    const std::string mode = argv[1];
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        die("cannot open the display");
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    XSync(d, False);

    if (mode == "map") {
        const Clock::time_point start = Clock::now();
        const pid_t pid = spawn(argv + sep + 1);
        waitForMap(d, pid, 30);
        const double s = since(start);
        std::printf("seconds %.6f\nmaxrss_kb %ld\n", s, endProgram(pid));
        return 0;
    }
    if (mode != "install" || sep != 4)
        die("usage: bench_xrun map|install FILE ENTERS -- PROGRAM [ARGS...]");
    const char *file = argv[2];
    const int enters = std::atoi(argv[3]);
    const pid_t pid = spawn(argv + sep + 1);
    const Window w = waitForMap(d, pid, 30);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the first page is painted and idle
    for (int i = 1; i < enters; ++i) {
        pressEnter(d, w);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const Clock::time_point start = Clock::now();
    pressEnter(d, w);
    while (!exists(file)) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid)
            die("the program ended before the file appeared");
        if (since(start) > 300)
            die("the file did not appear");
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const double s = since(start);
    std::printf("seconds %.6f\nmaxrss_kb %ld\n", s, endProgram(pid));
    return 0;
}
