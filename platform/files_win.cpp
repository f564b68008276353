// Attributes, free space and file times on Windows: the system's own
// attributes, free space of the folder's volume, last-write times through a
// handle. The packed date-time format and what reads the status: files.cpp.
#include "files.h"
#include "drives.h"
#include "fileio.h"
#include "log.h"
#include "winerror_win.h"
#include "winfs_win.h"

#include <cerrno>

namespace platform {

// The C runtime reads TZ in a format of its own and otherwise asks the
// system once: nothing to pin, and nothing is added to the environment.
void pinLocalTimeZone() {}

QProcessEnvironment environmentForChildren() { return QProcessEnvironment::systemEnvironment(); }

int hostFileAttributes(const QString &hostPath)
{
    if (hostPath.isEmpty())
        return -1;
    const DWORD attrs = GetFileAttributesW(win::longPath(hostPath.toStdWString()).c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        win::setErrnoFromLastError();
        return -1;
    }
    return int(attrs & win::kKnownAttributes);
}

// Read-only, hidden, system and archive are set as given; the folder bit is
// the entry's own, and bits the program does not know stay as they are.
bool setFileAttributes(const QString &path, int attrs)
{
    const QString host = toHostPath(path);
    if (host.isEmpty())
        return false;
    const std::wstring wide = win::longPath(host.toStdWString());
    const DWORD now = GetFileAttributesW(wide.c_str());
    if (now == INVALID_FILE_ATTRIBUTES) {
        win::setErrnoFromLastError();
        return false;
    }
    constexpr DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
        | FILE_ATTRIBUTE_ARCHIVE;
    // What SetFileAttributesW accepts besides those four.
    constexpr DWORD kept = FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;
    DWORD want = (now & kept) | (DWORD(attrs) & settable);
    if (want == (now & (kept | settable)))
        return true;
    if (want == 0)
        want = FILE_ATTRIBUTE_NORMAL;
    if (SetFileAttributesW(wide.c_str(), want))
        return true;
    win::setErrnoFromLastError();
    qCWarning(lcSetup) << "cannot change the attributes of" << host << ":" << lastSystemError();
    return false;
}

bool clearFileAttributes(const QString &path, int attrs)
{
    const QString host = toHostPath(path);
    if (host.isEmpty())
        return false;
    const std::wstring wide = win::longPath(host.toStdWString());
    const DWORD now = GetFileAttributesW(wide.c_str());
    if (now == INVALID_FILE_ATTRIBUTES) {
        win::setErrnoFromLastError();
        return false;
    }
    const DWORD cleared = DWORD(attrs) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
                                          | FILE_ATTRIBUTE_ARCHIVE);
    if (!(now & cleared))
        return true;
    // The folder bit and others the call does not take are not passed back.
    const DWORD want = now & ~cleared & ~DWORD(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT
                                               | FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_ENCRYPTED
                                               | FILE_ATTRIBUTE_SPARSE_FILE);
    if (SetFileAttributesW(wide.c_str(), want ? want : FILE_ATTRIBUTE_NORMAL))
        return true;
    win::setErrnoFromLastError();
    qCWarning(lcSetup) << "cannot change the attributes of" << host << ":" << lastSystemError();
    return false;
}

namespace {

// The index of the separator that ends the folder above the last name of
// path, -1 when there is no folder above it (a drive's root, a share's root).
qsizetype parentEnd(const std::wstring &path)
{
    std::size_t end = path.size();
    while (end > 0 && (path[end - 1] == L'\\' || path[end - 1] == L'/'))
        --end;
    const std::size_t sep = path.find_last_of(L"\\/", end == 0 ? 0 : end - 1);
    if (sep == std::wstring::npos || end == 0)
        return -1;
    if (path.starts_with(L"\\\\")) { // \\server\share\ is the top
        const std::size_t share = path.find_first_of(L"\\/", 2);
        const std::size_t shareEnd = share == std::wstring::npos ? share : path.find_first_of(L"\\/", share + 1);
        if (shareEnd == std::wstring::npos || sep < shareEnd)
            return -1;
    }
    return qsizetype(sep);
}

} // namespace

std::int64_t diskFreeBytes(const QString &path)
{
    std::wstring host = toHostPath(path).toStdWString();
    if (host.empty())
        return -1;
    // A path that is not there yet, or that no folder can have (a name too
    // long, a character names may not hold), lies on the volume of the
    // nearest folder above it that is there: that one answers.
    for (;;) {
        if (host.back() != L'\\' && host.back() != L'/')
            host += L'\\'; // the call takes a folder; a share's root needs its separator
        ULARGE_INTEGER available {};
        if (GetDiskFreeSpaceExW(win::longPath(host).c_str(), &available, nullptr, nullptr))
            return std::int64_t(available.QuadPart);
        const int err = win::setErrnoFromLastError();
        if (err != ENOENT && err != ENOTDIR && err != ENAMETOOLONG && err != EINVAL)
            return -1;
        const qsizetype end = parentEnd(host);
        if (end < 0)
            return -1; // a drive or share that does not answer
        host.resize(std::size_t(end) + 1);
    }
}

bool setLastWriteTime(const QString &path, const QDateTime &t)
{
    const QString host = toHostPath(path);
    if (host.isEmpty() || !t.isValid())
        return false;
    FileHandle f(win::openEntry(win::longPath(host.toStdWString()), FILE_WRITE_ATTRIBUTES, true));
    const qint64 ms = t.toMSecsSinceEpoch();
    const std::int64_t sec = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    const FILETIME written = win::fileTimeOf(sec, std::int32_t(ms - sec * 1000) * 1000000);
    if (f.isOpen() && SetFileTime(win::h(f.get()), nullptr, nullptr, &written))
        return true;
    if (f.isOpen())
        win::setErrnoFromLastError();
    qCWarning(lcSetup) << "cannot set the time of" << host << ":" << lastSystemError();
    return false;
}

} // namespace platform
