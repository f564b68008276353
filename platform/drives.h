#pragma once
// Drive letters. Every path the program shows or passes around is in drive
// form ("C:\TVO-DEMO\"); only this layer turns it into a host path, at the
// moment a system call needs one.
//
// Linux, a host without drive letters: a table maps them to folders.
//   C:  the user's home folder      Z:  the root "/"
//   TVO_DRIVE_<L>=<folder> in the environment maps a further letter.
// Windows: the letters are the system's own (GetLogicalDrives) and a host
// path is the drive path itself, made absolute and normalised; the table
// holds only what tests put into it (setDriveRoot).
#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>

namespace platform {

// Mapped letters, upper-case and sorted.
QList<QChar> driveLetters();
// Host folder behind a letter (either case); empty when no drive is behind it.
// Windows: "L:\" for a drive the system has.
QString driveRoot(QChar letter);
// Changes the table at run time (tests, freshly mounted drives); an empty
// folder removes the letter. resetDrives() goes back to the defaults.
// Windows: the letters are the system's; a letter set here is put on the
// folder inside this process only (tests put drives on temporary folders
// with it; the program itself never calls it), in front of a system drive
// of the same letter, until it is set empty or resetDrives().
void setDriveRoot(QChar letter, const QString &hostFolder);
void resetDrives();

// The drive that holds the process's current folder (longest prefix), as an
// upper-case letter; a null QChar only if no drive covers it.
QChar currentDrive();

// Drive-form path to host path. Relative paths are taken against the current
// folder, "\x" against the current drive's root; ".." never climbs above a
// drive root. Empty when the path names an unmapped drive or a network share
// (also a relative path while the current folder is on a share), and on
// Windows when it names a device ("C:\x\NUL", "\\.\...").
QString toHostPath(const QString &path);

// Index of the last "\" or ":" of a drive-form path, -1 when it has neither;
// what follows it is the file-name part ("C:\A\b.txt" gives "b.txt").
qsizetype lastSeparator(const QString &path);
QString fileNamePart(const QString &path);

// Host path to drive form, by the longest matching drive root. Folders keep
// no trailing backslash unless the path is a drive root ("C:\"). Empty when
// no drive holds the path (Windows: a share or a device).
QString toDrivePath(const QString &hostPath);

// ---- What the folder chooser shows of a drive ----

enum class DriveKind { Fixed, Removable, CdRom, Network, Ram };

// Windows: the kind the system reports (GetDriveTypeW). Linux: the kind of
// the file system mounted at the drive's folder (driveKindOfFileSystem).
DriveKind driveKind(QChar letter);
// The text shown beside the letter. Windows: the share a network drive is
// connected to (WNetGetConnectionW), else the volume's name
// (GetVolumeInformationW), empty when it has none or no medium is in the
// drive. Linux: the drive's host folder.
QString driveLabel(QChar letter);

// Linux: the kind of drive from the file system type and the host folder it
// is mounted on (plain data, so that every kind can be tried without the
// hardware).
inline DriveKind driveKindOfFileSystem(const QByteArray &fsType, const QString &hostRoot)
{
    const QByteArray fs = fsType.toLower();
    for (const char *n : {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "sshfs", "9p", "afs"})
        if (fs == n)
            return DriveKind::Network;
    if (fs == "iso9660" || fs == "udf")
        return DriveKind::CdRom;
    if (fs == "tmpfs" || fs == "ramfs")
        return DriveKind::Ram;
    for (const char *prefix : {"/media/", "/run/media/", "/mnt/"})
        if (hostRoot.startsWith(QLatin1String(prefix)))
            return DriveKind::Removable;
    return DriveKind::Fixed;
}

// While it lives, a drive without a medium (an empty card reader or disc
// drive) answers a check with a failure instead of the system's "insert a
// disk" box (Windows: SetErrorMode(SEM_FAILCRITICALERRORS), the previous mode
// given back at the end). Nothing to do on Linux.
class QuietDriveErrors {
public:
    QuietDriveErrors();
    ~QuietDriveErrors();
    QuietDriveErrors(const QuietDriveErrors &) = delete;
    QuietDriveErrors &operator=(const QuietDriveErrors &) = delete;

private:
    unsigned m_previous = 0;
};

// Windows: the system's dialog for connecting a network drive
// (WNetConnectionDialog), owned by the native window; true when a drive was
// connected. Linux: no such dialog (shares are mounted by the desktop and
// appear once the table is read again): false.
bool connectNetworkDrive(quintptr ownerWindow);

} // namespace platform
