#pragma once
// Starting the inner installer and waiting for it while passing on the
// signals that ask this process to end.
#include <csignal>
#include <string>
#include <vector>

namespace launcher {

// SIGTERM, SIGINT and SIGHUP: blocked in this process from the start, so that
// one arriving while the runtime is unpacked is seen (takePendingSignal) and
// one arriving while the installer runs is passed on to it.
sigset_t endSignals();
void blockEndSignals();
// The end signal waiting for this process, or 0.
int takePendingSignal();

// The environment for the installer: this process's own, with
// name=value set (replacing an earlier value of that name).
std::vector<std::string> environmentWith(const std::string &name, const std::string &value);

// Starts program with args (args[0] is the name it is shown under) and env,
// with the signal mask and dispositions of a fresh process, waits until it
// ends and returns its wait status. An end signal sent to this process by
// another process is passed on; one the terminal sent to the whole process
// group has reached the installer already and is not sent twice.
// -1 with the reason when the program cannot be started.
int runAndWait(const std::string &program, const std::vector<std::string> &args,
               const std::vector<std::string> &env, std::string &why);

} // namespace launcher
