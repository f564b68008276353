#pragma once
// The termination signals (SIGTERM, SIGINT, SIGHUP) as calls from the message
// loop. The signal handler itself only writes the signal's number into a pipe;
// a socket notifier on the pipe's other end calls the program back.
#include <functional>
#include <memory>

namespace platform {

class TerminationSignals {
public:
    // From now on each of the three signals calls handler(signal number) from
    // the message loop of the calling thread. A signal that the process
    // inherited as ignored (nohup, a background job of a script) stays ignored.
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
