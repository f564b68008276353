#pragma once
// The program as the uninstaller of the installation it lies in:
//   ODINSTALUJ.EXE [--uninstall] [--yes]
// (the installer file itself with --uninstall). It asks once (a window when
// a display is there, else the terminal), removes what the list beside it
// names, and ends with App::ExitInstalled (removed), ExitUsage,
// ExitFailed (something could not be removed, or the list is unreadable) or
// ExitCancelled.

// True when the command line or the program's own name asks for the
// uninstaller; looked at before any application object exists.
bool isUninstallCommand(int argc, char **argv);

int uninstallMain(int argc, char **argv);
