#pragma once
// The termination signals (SIGTERM, SIGINT, SIGHUP) as calls from the message
// loop. Linux: the signal handler itself only writes the signal's number into
// a pipe; a socket notifier on the pipe's other end calls the program back.
// Windows: the console's events arrive on a thread of the system's and are
// handed to the watching thread's message loop: Ctrl+C and Ctrl+Break as
// SIGINT, the console window closed as SIGHUP, logging off and shutting down
// as SIGTERM (the console events, and the session's end as the windows see it:
// WM_QUERYENDSESSION, WM_ENDSESSION).
#include <csignal>
#include <functional>
#include <memory>

// Windows has no hang-up signal; a closed console is reported with Linux's number.
#ifndef SIGHUP
#define SIGHUP 1
#endif

namespace platform {

class TerminationSignals {
public:
    // From now on each of the three signals calls handler(signal number) from
    // the message loop of the calling thread. A signal that the process
    // inherited as ignored (nohup, a background job of a script) stays ignored;
    // so does Ctrl+C on Windows for a process started in a group of its own.
    // One watch at a time: a second one raises std::logic_error.
    explicit TerminationSignals(std::function<void(int signo)> handler);
    // Gives the signals back their dispositions from before the watch.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform
