#pragma once
// The list of what an installation created, kept in the target folder so
// that the uninstaller removes exactly that and nothing the user added or
// changed.
//
// Text, UTF-8, one item a line:
//   TVO-MANIFEST 1
//   F <size> <mtime ns> <path>     a file
//   L <size> <mtime ns> <path>     a symbolic link
//   D <path>                       a folder (removed only when empty)
//   END <items> <CRC-32 of everything before this line, 8 hex digits>
// A path is relative to the target folder ('/'-separated; "." is the folder
// itself) or absolute for what lies outside it: the entries, the icons, and
// the folders the installation created above the target. A path is written
// as the bytes of the name on disk (UTF-8, or whatever bytes a name that is
// not UTF-8 has); backslash, line feed and carriage return in it are written
// \\, \n, \r.
#include "ownedfiles.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>
#include <QSet>
#include <QStringList>

struct ManifestEntry {
    QString path;
    platform::FileStamp stamp;
    bool operator==(const ManifestEntry &o) const { return path == o.path && stamp == o.stamp; }
};
using Manifest = QList<ManifestEntry>;

// Whether a path names something outside the target: an absolute host path
// ("/..." here, "C:/..." on Windows). Every other path is below the target,
// also one whose first name starts with ':' (the toolkit's resource paths).
inline bool isOutsideTarget(const QString &path) { return !path.startsWith(u':') && QDir::isAbsolutePath(path); }

// Where an item lies: the folder to descend from (the target, or the
// parent folder of an absolute path) and the path below it ("" for the
// folder itself).
void manifestLocation(const QString &path, const QString &target, QString &root, QString &rel);

QByteArray manifestText(const Manifest &manifest);

// Reads a manifest of the installation in targetFolder (a host path). Raises
// Exception with a clear Polish message naming `shownName` when the text is
// damaged or names anything an installation does not write: a path that
// leaves the target, a file outside it other than the entries and icons, a
// folder outside it that holds neither the target nor one of those files.
Manifest parseManifest(const QByteArray &text, const QString &targetFolder, const QString &shownName);
Manifest readManifest(const QString &hostFile);
// Writes through a temporary file and a rename; raises Exception on failure.
void writeManifest(const QString &hostFile, const Manifest &manifest);

// Collects, during an installation, what it creates; stamps them at the end.
// The bytes of the files the manifest lists in the target folder.
qint64 installedBytes(const Manifest &manifest);

class InstallRecord {
public:
    void setTarget(const QString &hostFolder);
    QString target() const { return m_target; }
    // A path below the target, in drive form (backslashes) or '/'-separated;
    // its parent folders below the target are recorded with it.
    void addBelowTarget(const QString &relName);
    // Host paths: the target or a folder above it, or a file outside.
    void addCreatedFolders(const QStringList &hostFolders);
    void addOutside(const QString &hostFile);
    bool isEmpty() const { return m_paths.isEmpty(); }

    // The manifest of what exists now, stamped, merged into a previous one:
    // a previous item recorded again takes its new stamp, the others stay.
    Manifest stamped(const Manifest &previous = {}) const;

private:
    void add(const QString &path);
    QString m_target;
    QStringList m_paths;
    QSet<QString> m_recorded; // m_paths as a set: thousands of entries are looked up
};
