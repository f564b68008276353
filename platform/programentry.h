#pragma once
// The installed program's entry in the system's list of installed programs:
// on Windows the current user's key below
// Software\Microsoft\Windows\CurrentVersion\Uninstall (Settings, Apps), with
// its size and uninstall command. Linux has no such list (the menu entry
// carries the uninstall action): there these do nothing.
#include <QDate>
#include <QString>

namespace platform {

struct ProgramEntry {
    QString id;                    // the key's name
    QString displayName;           // DisplayName
    QString version;               // DisplayVersion
    QString publisher;             // Publisher
    QString installLocation;       // InstallLocation, a host folder
    QString displayIcon;           // DisplayIcon, a host file
    QString uninstallCommand;      // UninstallString
    QString quietUninstallCommand; // QuietUninstallString
    qint64 estimatedSizeKB = 0;    // EstimatedSize
    QDate installDate;             // InstallDate, yyyyMMdd
};

// Writes the entry (an existing one of the same id is replaced: NoModify and
// NoRepair are set, values it had beyond these are removed). False with the
// reason on failure; true and nothing done on Linux.
bool writeProgramEntry(const ProgramEntry &entry, QString *error = nullptr);

// The entry of that id, as written; an empty id when there is none (Linux:
// never one).
ProgramEntry readProgramEntry(const QString &id);

// Removes the entry of that id when its InstallLocation names this folder
// (an installation elsewhere has taken the id over: it stays). False, with
// the reason, only when this folder's entry could not be removed.
bool removeProgramEntry(const QString &id, const QString &installLocation, QString *error = nullptr);

} // namespace platform
