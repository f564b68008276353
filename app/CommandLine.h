#pragma once
// The installer's command line: the options, their parser and the usage text.
#include "hostsystem.h"

#include <QString>
#include <QStringList>

// How the installer runs.
enum class RunMode {
    Wizard,     // the four pages, a person answers
    Silent,     // only the installation page is shown; no questions
    VerySilent, // no window at all; messages go to standard error
};

struct InstallOptions {
    RunMode mode = RunMode::Wizard;
    QString dir;          // the target folder as given (drive form or host path); empty: not given
    bool overwrite = false; // answers "Tak" when the target folder exists (silent modes)
    bool icons = true;      // the desktop entry (and any menu entry) is written
    bool launch = true;     // the installed program is started at the end
    QString logFile;        // host path of the log; empty: no log
    bool help = false;
    bool uninstall = false; // --uninstall: the uninstaller runs instead
    bool yes = false;       // --yes: the uninstaller asks nothing
    bool suppressBoxes = false; // --suppress-msgboxes: --silent reports its messages as --very-silent does

    bool unattended() const { return mode != RunMode::Wizard; }
    bool showsWindow() const { return mode != RunMode::VerySilent; }
};

struct ParsedCommandLine {
    InstallOptions options;
    QString error; // empty when the command line is valid
};

// Parses the arguments after the program name; a program started as the
// uninstaller takes the uninstaller's options alone. Besides the "--" options
// it takes the forms deployment tools pass to Windows installers, in any
// letter case: /SILENT, /VERYSILENT, /SUPPRESSMSGBOXES, /DIR=..., /LOG=...,
// /NOICONS, /NORESTART (nothing needs a restart: accepted, nothing done),
// /? and /HELP.
ParsedCommandLine parseCommandLine(const QStringList &args, bool asUninstaller = false);

// The usage text, ending in a line break, in the words of the given system
// (its folder forms, its display, its menus).
QString usageText(const QString &programName, platform::System system = platform::hostSystem());

// The target folder of --dir in drive form: drive-form text as it stands but
// for its "/" separators, which become "\" (on Windows every folder given is
// drive-form text); on Linux a host path (absolute, or relative to the
// current folder) by the drive table.
QString targetFolderArgument(const QString &dir);

// The options of this run, for every part of the program that honours one.
const InstallOptions &installOptions();
void setInstallOptions(const InstallOptions &options);
