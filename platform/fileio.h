#pragma once
// Blocking file input and output on host paths and descriptors, in one place:
// status of an entry, opening for reading, creating a target, reading and
// writing fully (an interrupted call is retried), copying a range, and a
// folder walker that asks the system about each entry once, relative to the
// open folder.
//
// Names on disk are bytes. In the program a host name is a QString in which
// valid UTF-8 is decoded and every other byte travels as one character
// U+DC80..U+DCFF (a lone surrogate, which decoded UTF-8 never contains), so a
// name read from a folder can always be opened again, byte for byte.
#include "filehandle.h"
#include "iobuffer.h"
#include "storeio.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

QString hostNameFromBytes(const char *bytes, std::size_t len);
inline QString hostNameFromBytes(const QByteArray &bytes) { return hostNameFromBytes(bytes.constData(), size_t(bytes.size())); }
QByteArray hostNameBytes(const QString &name);
// True when the name came from bytes that are not valid UTF-8.
bool hasRawBytes(const QString &name);

// What one status call tells about an entry (links are followed).
struct FileStatus {
    int attrs = -1; // FileAttr bits (files.h); -1 when the entry cannot be reached
    std::int64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int32_t mtimeNsec = 0;
    std::uint64_t dev = 0, ino = 0;
    std::uint32_t mode = 0; // permission bits (07777)

    bool exists() const { return attrs >= 0; }
    bool isFolder() const;
    bool sameEntry(const FileStatus &o) const { return exists() && o.exists() && dev == o.dev && ino == o.ino; }
};

// Status of a host path; the hidden attribute comes from its last name.
FileStatus hostStatus(const QString &hostPath);
// Status of an open descriptor (no name, so never hidden).
FileStatus descriptorStatus(NativeFile fd);

// Whether the process may enter the folder (search permission).
bool canEnter(const QString &hostPath);

// Opens an existing file for reading; -1 inside the handle (errno set) on
// failure. A folder opens too: check the status when that matters.
FileHandle openForReading(const QString &hostPath);
// Creates or empties a file for reading and writing (0666 less the umask).
FileHandle createFile(const QString &hostPath);
// Creates a file that is not there yet (nothing under its name, not even a
// link); -1 inside the handle with errno EEXIST when something is.
FileHandle createNewFile(const QString &hostPath);
// Creates one folder (0777 less the umask); false with errno when it fails.
bool makeFolder(const QString &hostPath);

// Reads up to len bytes at the current position; 0 at the end, -1 on error.
std::int64_t readSome(NativeFile fd, void *buf, std::size_t len);
// Reading at an offset, writing fully and copying a range: storeio.h.

// Gives the open file the execute permission of sourceMode wherever it
// already has the read permission, so that a program stays a program.
void carryExecutePermission(NativeFile fd, std::uint32_t sourceMode);
// Sets the last-write time of an open file; the access time is kept.
bool setModificationTime(NativeFile fd, std::int64_t sec, std::int32_t nsec);

// The entries of one folder, "." and ".." left out, in the order the system
// gives them. In a folder that can be read but not entered the names are
// listed, but no entry has a status.
class FolderWalker {
public:
    // What the listing itself tells of an entry's kind.
    enum Kind { KindUnknown, KindFolder, KindOther }; // other: never a folder
    // Opens the folder (links followed); isOpen() false when it cannot be read.
    explicit FolderWalker(const QString &hostPath);
    ~FolderWalker();
    FolderWalker(const FolderWalker &) = delete;
    FolderWalker &operator=(const FolderWalker &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // The folder's own status and whether the process may enter it.
    FileStatus folderStatus() const;
    bool canEnter() const;
    // The next entry's name as bytes; false at the end.
    bool next(QByteArray &rawName, Kind *kind = nullptr);
    // One status call for an entry of this folder (links followed).
    FileStatus status(const QByteArray &rawName) const;

private:
    NativeFile m_fd = -1;
    IoBuffer m_buf;
    long m_len = 0, m_pos = 0;
    // Windows: the folder's path and what the listing told of each entry, so
    // that status() asks the system again only about folders and links
    // (fileio_win.cpp; null here).
    struct Listing;
    std::unique_ptr<Listing, void (*)(Listing *)> m_listing {nullptr, nullptr};
};

} // namespace platform
