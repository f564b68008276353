#pragma once
// The running program: its command line, its own file, its console, and the
// uninstaller's way to remove the file it runs from (Windows).
#include "filehandle.h"

#include <QString>
#include <QStringList>

namespace platform {

// The program's arguments, the program first. Linux: argv as the locale
// decodes it. Windows: the wide command line split by the C runtime's rules
// (CommandLineToArgvW), the program's own file (GetModuleFileNameW) first:
// argv holds the ANSI code page, which cannot hold every name.
QStringList commandLineArguments(int argc, char **argv);

// Opens the running program's own file for reading. Linux: /proc/self/exe
// (the file itself, also when renamed or replaced since). Windows: the
// module's file. The handle holds -1 with errno set on failure.
FileHandle openRunningProgram();

// A command line that the C runtime and CommandLineToArgvW split back into
// exactly these arguments: each in double quotes, a quote inside as \", the
// backslashes before a quote (the closing one too) doubled.
QString quotedCommandLine(const QStringList &args);

// Windows: a program of the window subsystem has no console of its own; the
// text modes write to the console of the program that started it
// (AttachConsole), where the standard streams are not redirected already.
// False when the standard output then reaches nobody (started from the
// desktop: no console, nothing redirected). Linux: true, nothing done.
bool useStarterConsole();

// A message box with the text, for what would otherwise be written where
// nobody reads it (Windows: MessageBoxW). Nothing on Linux.
void showTextBox(const QString &title, const QString &text, bool error);

// A running program's file cannot be removed on Windows. The uninstaller
// therefore runs from a copy of itself: the copy removes the installation,
// the uninstaller that started it too once that has ended, and the copy
// itself goes when it ends (the system removes it). Linux needs none of this.

// Whether this program must run from a copy to remove its own file: on
// Windows unless it is that copy; never on Linux.
bool mustRunFromCopy();
// Whether this program is the copy runCopyOfItself started.
bool isCopyOfItself();

// Windows: copies the running program into the temporary folder (where
// copies that earlier runs left behind are removed first), starts the
// copy with these arguments (the program first is replaced by the copy),
// the same environment plus the "NAME=value" pairs of `environment`, and the
// same standard streams, and returns the exit code the copy reports through
// reportExitCode, without waiting for the copy's end; when the copy ends
// without reporting, its exit code. -1 with the reason when the copy cannot
// be made or started. Linux: -1.
int runCopyOfItself(const QStringList &args, const QStringList &environment, QString *error);

// In the copy: gives the starter its exit code (once; later calls do
// nothing) and waits until the starter has ended, at most a minute, so that
// its file can be removed. Nothing elsewhere.
void reportExitCode(int code);

} // namespace platform
