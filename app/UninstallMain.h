#pragma once
// The program as the uninstaller of the installation it lies in:
//   ODINSTALUJ.EXE [--uninstall] [--yes]
// (the installer file itself with --uninstall). It asks once (a window when
// a display is there, else the terminal), removes what the list beside it
// names, and ends with App::ExitInstalled (removed), ExitUsage,
// ExitFailed (something could not be removed, or the list is unreadable) or
// ExitCancelled. On Windows it runs from a copy of itself in the temporary
// folder, so that its own file can be removed too; the copy's exit code is
// the uninstaller's.
#include <QStringList>

// True when the command line or the program's own name asks for the
// uninstaller; looked at before any application object exists.
// args: platform::commandLineArguments, the program first.
bool isUninstallCommand(const QStringList &args);

// argc and argv for the application object.
int uninstallMain(const QStringList &args, int argc, char **argv);
