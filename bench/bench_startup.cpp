// Start to visible window: starts a program, waits for the X server to map
// its first top-level window, then records the peak memory of the program
// and of its child (the self-contained installer's inner program) and the
// size of the folder the child runs from, and ends it with SIGTERM.
//
// usage: bench_startup RUNS NAME=PROGRAM [NAME=PROGRAM...]
// The programs take turns, so that a change of load hits each of them.
// PROGRAM may carry arguments after spaces ("wine Z:/x/setup.exe"); a
// program without a slash is looked up in PATH.
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;
using Clock = std::chrono::steady_clock;

namespace {

struct Sample {
    double ms = 0;
    long outerKiB = 0, innerKiB = 0;
    std::uintmax_t folderBytes = 0;
};

long peakKiB(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

pid_t childOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    pid_t c = 0;
    in >> c;
    return c;
}

std::uintmax_t folderSize(const std::filesystem::path &dir)
{
    std::uintmax_t total = 0;
    std::error_code ec;
    for (const auto &e : std::filesystem::recursive_directory_iterator(dir, ec))
        if (e.is_regular_file(ec))
            total += e.file_size(ec);
    return total;
}

bool run(Display *dpy, const std::string &program, Sample &s)
{
    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    XSync(dpy, True); // drop older events
    std::vector<std::string> words;
    std::istringstream split(program);
    for (std::string w; split >> w;)
        words.push_back(w);
    if (words.empty())
        return false;
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const auto t0 = Clock::now();
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    bool mapped = false;
    while (!mapped && Clock::now() - t0 < std::chrono::seconds(20)) {
        while (XPending(dpy)) {
            XEvent e;
            XNextEvent(dpy, &e);
            if (e.type == MapNotify && e.xmap.event == DefaultRootWindow(dpy) && !e.xmap.override_redirect)
                mapped = true;
        }
        if (!mapped)
            usleep(200);
    }
    s.ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    usleep(300 * 1000); // let the first paint finish
    s.outerKiB = peakKiB(pid);
    if (const pid_t inner = childOf(pid)) {
        s.innerKiB = peakKiB(inner);
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/" + std::to_string(inner) + "/exe");
        s.folderBytes = folderSize(exe.parent_path());
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return mapped;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_startup RUNS NAME=PROGRAM...\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    std::vector<std::pair<std::string, std::string>> programs;
    for (int i = 2; i < argc; ++i) {
        const char *eq = std::strchr(argv[i], '=');
        if (!eq)
            return 2;
        programs.emplace_back(std::string(argv[i], std::size_t(eq - argv[i])), std::string(eq + 1));
    }
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "bench_startup: no X display\n");
        return 1;
    }
    std::map<std::string, std::vector<Sample>> samples;
    for (int r = 0; r < runs; ++r)
        for (const auto &[name, program] : programs) {
            Sample s;
            if (!run(dpy, program, s)) {
                std::fprintf(stderr, "bench_startup: %s showed no window\n", program.c_str());
                return 1;
            }
            samples[name].push_back(s);
        }
    const double reference = [&] {
        std::vector<double> v;
        for (const Sample &s : samples[programs.front().first])
            v.push_back(s.ms);
        return median(v);
    }();
    std::printf("%-16s %10s %8s %12s %12s %14s\n", "program", "window ms", "ratio", "peak KiB", "child KiB",
                "child folder");
    for (const auto &[name, program] : programs) {
        std::vector<double> ms;
        long outer = 0, inner = 0;
        std::uintmax_t folder = 0;
        for (const Sample &s : samples[name]) {
            ms.push_back(s.ms);
            outer = std::max(outer, s.outerKiB);
            inner = std::max(inner, s.innerKiB);
            folder = std::max(folder, s.folderBytes);
        }
        std::printf("%-16s %10.1f %8.2f %12ld %12ld %14ju\n", name.c_str(), median(ms), median(ms) / reference, outer,
                    inner, folder);
    }
    XCloseDisplay(dpy);
    return 0;
}
