#pragma once
// The application object: title, terminate request, message pumping, the
// standard exception report and the fatal start-up error.
#include <QString>
#include <exception>
#include <functional>

namespace App {

// The process's exit codes, the same for every way of running the installer.
enum ExitCode : int {
    ExitInstalled = 0,      // installed, or left before anything was installed
    ExitStartupRefused = 1, // no usable display (screen too small, none at all)
    ExitUsage = 2,          // a command-line error
    ExitFailed = 3,         // the installation ended with an error
    ExitCancelled = 4,      // the user or a signal cancelled the installation
};

QString title();
void setTitle(const QString &title);

// Runs the application's message loop until the main window closes or the
// application is told to terminate.
int exec();

// A confirmed close sets this flag; long runs check it after every step.
// While exec() runs it also ends the message loop.
void terminate();
bool terminated();
void resetTerminated(); // tests

// Processes all pending window messages.
void processMessages();

// Clean-up steps of the modules, run once in reverse order of registration
// when the program ends (also after a fatal start-up error).
void addCleanup(std::function<void()> step);
void runCleanups();

// Text of the standard exception report: a full stop is appended when the
// message is not empty and its last character sorts after ".".
QString reportText(const QString &message);

// The standard exception report: nothing for EAbort, otherwise a system
// message box with the application title, the error icon and OK.
void showException(const std::exception &e);

// System message box with the error icon and OK; the tests' hook sees it
// instead of a person when one is installed.
void systemErrorBox(const QString &caption, const QString &text);
using SystemBoxHook = std::function<void(const QString &caption, const QString &text)>;
void setSystemBoxHook(SystemBoxHook hook);

// Shows the text under "Błąd przy uruchamianiu programu !" and ends the
// process with exit code 1 after the modules' clean-ups.
[[noreturn]] void fatalStartupError(const QString &text);

// "\r" and "\r\n" in the program's texts are line breaks; Qt wants "\n".
QString displayText(const QString &text);
// The letter after "&" in a caption, upper-cased ("&&" is a literal
// ampersand); a null QChar when there is none.
QChar mnemonic(const QString &caption);

} // namespace App

namespace App {
// Start-up work of the modules (resources, font substitutions, formatting
// defaults): once, before the first window; tests call it in initTestCase.
void initModules();
}
