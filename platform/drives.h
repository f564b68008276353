#pragma once
// Drive letters on a host without them. Every path the program shows or passes
// around is in drive form ("C:\TVO-DEMO\"); only this layer turns it into a
// host path, at the moment a system call needs one.
//
//   C:  the user's home folder      Z:  the root "/"
//   TVO_DRIVE_<L>=<folder> in the environment maps a further letter.
#include <QChar>
#include <QList>
#include <QString>

namespace platform {

// Mapped letters, upper-case and sorted.
QList<QChar> driveLetters();
// Host folder behind a letter (either case); empty when no drive is behind it.
QString driveRoot(QChar letter);
// Changes the table at run time (tests, freshly mounted drives); an empty
// folder removes the letter. resetDrives() goes back to the defaults.
void setDriveRoot(QChar letter, const QString &hostFolder);
void resetDrives();

// The drive that holds the process's current folder (longest prefix), as an
// upper-case letter; a null QChar only if no drive covers it.
QChar currentDrive();

// Drive-form path to host path. Relative paths are taken against the current
// folder, "\x" against the current drive's root; ".." never climbs above a
// drive root. Empty when the path names an unmapped drive or a network share.
QString toHostPath(const QString &path);

// Index of the last "\" or ":" of a drive-form path, -1 when it has neither;
// what follows it is the file-name part ("C:\A\b.txt" gives "b.txt").
qsizetype lastSeparator(const QString &path);
QString fileNamePart(const QString &path);

// Host path to drive form, by the longest matching drive root. Folders keep
// no trailing backslash unless the path is a drive root ("C:\").
QString toDrivePath(const QString &hostPath);

} // namespace platform
