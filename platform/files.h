#pragma once
// File attributes, free space and file times of drive-form paths.
#include <QDateTime>
#include <QProcessEnvironment>
#include <QString>
#include <cstdint>

namespace platform {

enum FileAttr : int {
    faReadOnly = 0x01,  // the owner has no write permission
    faHidden = 0x02,    // the name starts with a dot
    faSysFile = 0x04,   // never set on this platform
    faVolumeID = 0x08,  // never set on this platform
    faDirectory = 0x10, // the entry is a folder
    faArchive = 0x20,   // every regular file
};

// Attributes of a drive-form path, or -1 when it does not exist.
int fileAttributes(const QString &path);
// Attributes of an entry given by host path (used while walking folders).
int hostFileAttributes(const QString &hostPath);
// Applies the read-only bit (owner write permission); other bits have no
// carrier here and are accepted as they are. False when the path is missing.
bool setFileAttributes(const QString &path, int attrs);
// Clears the given attributes and keeps every other (archive included),
// looking at the file once. False when the path is missing.
bool clearFileAttributes(const QString &path, int attrs);

// Bytes available to the user on the file system that holds the path; a path
// that does not exist yet is answered by the nearest folder above it that
// does (there it will be made). -1 when no drive is behind the path or the
// file system cannot be asked.
std::int64_t diskFreeBytes(const QString &path);

// Packed date-time of 2-second precision (local time), as file systems of the
// designed platform keep it: bits 25-31 year-1980, 21-24 month, 16-20 day,
// 11-15 hour, 5-10 minute, 0-4 second/2.
// Times before 1980 give the first value, times after 2107 the last.
std::uint32_t toDosDateTime(const QDateTime &t);
std::uint32_t toDosDateTime(std::int64_t unixSeconds);
QDateTime fromDosDateTime(std::uint32_t dos);
// The instant that toDosDateTime and fromDosDateTime make of unixSeconds, in
// seconds, without a QDateTime: for every file a copy writes. In the hour
// that a change from summer time repeats, it keeps the instant's own offset.
std::int64_t dosRoundedTime(std::int64_t unixSeconds);

// Without TZ in the environment the C library checks the system's zone file
// again at each of many local-time conversions (the unrar library's, Qt's):
// a status call each, thousands in one installation. This names that file in
// TZ when TZ is not set, so that the zone read first stays, as it would for a
// zone named there. Call at start-up, before any thread starts.
void pinLocalTimeZone();
// The environment for the programs the installer starts: the process's own,
// without a TZ that pinLocalTimeZone added.
QProcessEnvironment environmentForChildren();

// Last-write time; an invalid QDateTime when the file is missing.
QDateTime lastWriteTime(const QString &path);
bool setLastWriteTime(const QString &path, const QDateTime &t);

} // namespace platform
