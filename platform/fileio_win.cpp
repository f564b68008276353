// File input and output on Windows. A host path is the Windows path itself
// (C:\TVO-DEMO\...); names are UTF-16 there and UTF-8 in the bytes of
// fileio.h. Identity is the volume's serial number and the file's index.
#include "fileio.h"
#include "files.h"
#include "winerror_win.h"
#include "winfs_win.h"

#include <QHash>
#include <algorithm>
#include <atomic>
#include <cerrno>

namespace platform {

using win::h;
using win::nf;

// ---- status -------------------------------------------------------------------

namespace {

// Times as fileio.h keeps them: whole seconds since 1970 and the nanoseconds
// after them (also before 1970).
void setTime(FileStatus &s, const FILETIME &t)
{
    const std::int64_t ns = win::unixNsOf(t);
    s.mtimeSec = ns >= 0 ? ns / 1000000000 : (ns - 999999999) / 1000000000;
    s.mtimeNsec = std::int32_t(ns - s.mtimeSec * 1000000000);
}

// Everything but the identity, which only an open handle gives.
FileStatus fromAttributes(DWORD attrs, std::int64_t size, const FILETIME &written)
{
    FileStatus s;
    s.attrs = int(attrs & win::kKnownAttributes);
    const bool folder = attrs & FILE_ATTRIBUTE_DIRECTORY;
    s.size = folder ? 0 : size;
    setTime(s, written);
    // No permission bits here: what the read-only attribute says.
    s.mode = (attrs & FILE_ATTRIBUTE_READONLY ? 0444 : 0666) | (folder ? 0111 : 0);
    return s;
}

// An identity of its own for an entry whose real one is not at hand (what a
// listing gives): volume 0 and a number counted down from the top, so that
// it is never taken for another entry. sameEntry() is false then.
void uniqueIdentity(FileStatus &s)
{
    static std::atomic<std::uint64_t> next {0};
    s.dev = 0;
    s.ino = ~next.fetch_add(1);
}

FileStatus fromInfo(const BY_HANDLE_FILE_INFORMATION &i)
{
    FileStatus s = fromAttributes(i.dwFileAttributes, win::sizeOf(i), i.ftLastWriteTime);
    s.dev = i.dwVolumeSerialNumber;
    s.ino = win::fileIndexOf(i);
    return s;
}

std::wstring wide(const QString &hostPath) { return win::longPath(hostPath.toStdWString()); }

} // namespace

FileStatus hostStatus(const QString &hostPath)
{
    if (hostPath.isEmpty())
        return {};
    const std::wstring path = wide(hostPath);
    FileHandle f(win::openEntry(path, FILE_READ_ATTRIBUTES, true));
    BY_HANDLE_FILE_INFORMATION info {};
    if (f.isOpen())
        return win::infoOf(f.get(), info) ? fromInfo(info) : FileStatus();
    if (errno != EACCES && errno != EBUSY)
        return {}; // not there, or a link that leads nowhere
    // An entry the system lets no one open (the page file): what the folder says.
    WIN32_FILE_ATTRIBUTE_DATA d {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d)) {
        win::setErrnoFromLastError();
        return {};
    }
    FileStatus s = fromAttributes(d.dwFileAttributes, std::int64_t(std::uint64_t(d.nFileSizeHigh) << 32 | d.nFileSizeLow),
                                  d.ftLastWriteTime);
    uniqueIdentity(s);
    return s;
}

FileStatus descriptorStatus(NativeFile fd)
{
    BY_HANDLE_FILE_INFORMATION info {};
    return fd != kNoFile && win::infoOf(fd, info) ? fromInfo(info) : FileStatus();
}

// Whoever may see a folder may pass through it: the system skips the check
// of the right to traverse unless a policy turns that off.
bool canEnter(const QString &hostPath)
{
    const int attrs = hostFileAttributes(hostPath);
    return attrs >= 0 && (attrs & faDirectory);
}

// ---- opening --------------------------------------------------------------------

namespace {

// Others may read the file while it is open, never write it.
FileHandle openFile(const QString &hostPath, DWORD access, DWORD disposition, DWORD flags)
{
    if (hostPath.isEmpty()) {
        errno = ENOENT;
        return {};
    }
    const std::wstring path = wide(hostPath);
    HANDLE f = CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, flags, nullptr);
    if (f == INVALID_HANDLE_VALUE && disposition == CREATE_ALWAYS && GetLastError() == ERROR_ACCESS_DENIED) {
        // A hidden or system file is emptied only when the call names those
        // attributes; a read-only one stays refused.
        const DWORD now = GetFileAttributesW(path.c_str());
        const DWORD carried = now & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (now != INVALID_FILE_ATTRIBUTES && carried && !(now & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
            f = CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, flags | carried, nullptr);
        else
            SetLastError(ERROR_ACCESS_DENIED);
    }
    if (f == INVALID_HANDLE_VALUE) {
        win::setErrnoFromLastError();
        return {};
    }
    return FileHandle(nf(f));
}

} // namespace

FileHandle openForReading(const QString &hostPath)
{
    // Backup semantics: a folder opens too, as the header says.
    return openFile(hostPath, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN);
}

FileHandle createFile(const QString &hostPath)
{
    return openFile(hostPath, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
}

// CREATE_NEW fails on any entry at the name, a link to nowhere included.
FileHandle createNewFile(const QString &hostPath)
{
    return openFile(hostPath, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
}

bool makeFolder(const QString &hostPath)
{
    if (hostPath.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    if (CreateDirectoryW(wide(hostPath).c_str(), nullptr))
        return true;
    win::setErrnoFromLastError();
    return false;
}

void carryExecutePermission(NativeFile, std::uint32_t) {} // a program is one by its name here

bool setModificationTime(NativeFile fd, std::int64_t sec, std::int32_t nsec)
{
    const FILETIME written = win::fileTimeOf(sec, nsec);
    if (SetFileTime(h(fd), nullptr, nullptr, &written))
        return true;
    win::setErrnoFromLastError();
    return false;
}

// ---- reading ----------------------------------------------------------------------

std::int64_t readSome(NativeFile fd, void *buf, std::size_t len)
{
    DWORD n = 0;
    if (ReadFile(h(fd), buf, DWORD(std::min<std::size_t>(len, 1u << 30)), &n, nullptr))
        return n;
    const DWORD err = GetLastError();
    if (err == ERROR_HANDLE_EOF || err == ERROR_BROKEN_PIPE)
        return 0;
    win::setErrnoFromLastError();
    return -1;
}

// ---- walking a folder -----------------------------------------------------------

struct FolderWalker::Listing {
    std::wstring folder;
    WIN32_FIND_DATAW found {}; // the entry the system gave last
    bool pending = false;      // found is not handed out yet
    bool searching = false;    // m_fd is a search handle to close
    struct Listed {
        DWORD attrs;
        std::int64_t size;
        FILETIME written;
    };
    QHash<QByteArray, Listed> listed;
};

FolderWalker::FolderWalker(const QString &hostPath)
{
    if (hostPath.isEmpty())
        return;
    m_listing = {new Listing, [](Listing *l) { delete l; }};
    Listing &l = *m_listing;
    l.folder = hostPath.toStdWString();
    const std::wstring pattern = win::longPath(win::joinPath(l.folder, L"*"));
    const HANDLE f = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &l.found, FindExSearchNameMatch, nullptr,
                                      FIND_FIRST_EX_LARGE_FETCH);
    if (f != INVALID_HANDLE_VALUE) {
        m_fd = nf(f);
        l.pending = l.searching = true;
        return;
    }
    // A folder with nothing in it at all (a drive's root has no "." entry)
    // is open all the same and lists nothing.
    const DWORD err = GetLastError();
    win::setErrnoFromLastError();
    if (err == ERROR_FILE_NOT_FOUND && hostStatus(hostPath).isFolder())
        m_fd = 0;
}

FolderWalker::~FolderWalker()
{
    if (m_listing && m_listing->searching)
        FindClose(h(m_fd));
}

FileStatus FolderWalker::folderStatus() const
{
    return isOpen() ? hostStatus(QString::fromStdWString(m_listing->folder)) : FileStatus();
}

bool FolderWalker::canEnter() const { return isOpen(); }

bool FolderWalker::next(QByteArray &rawName, Kind *kind)
{
    if (!isOpen())
        return false;
    Listing &l = *m_listing;
    for (;;) {
        if (!l.pending && (!l.searching || !FindNextFileW(h(m_fd), &l.found)))
            return false;
        l.pending = false;
        const wchar_t *n = l.found.cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0)))
            continue;
        rawName = QString::fromWCharArray(n).toUtf8();
        const DWORD attrs = l.found.dwFileAttributes;
        l.listed.insert(rawName, {attrs, std::int64_t(std::uint64_t(l.found.nFileSizeHigh) << 32 | l.found.nFileSizeLow),
                                  l.found.ftLastWriteTime});
        if (kind)
            *kind = win::isLink(attrs)                 ? KindUnknown
                : (attrs & FILE_ATTRIBUTE_DIRECTORY) ? KindFolder
                                                     : KindOther;
        return true;
    }
}

FileStatus FolderWalker::status(const QByteArray &rawName) const
{
    if (!isOpen() || rawName.isEmpty())
        return {};
    // A file's status is in the listing. A folder's identity is not, and the
    // search needs it to know a folder reached twice; a link is followed.
    const auto it = m_listing->listed.constFind(rawName);
    if (it != m_listing->listed.cend() && !(it->attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        FileStatus s = fromAttributes(it->attrs, it->size, it->written);
        uniqueIdentity(s);
        return s;
    }
    return hostStatus(QString::fromStdWString(win::joinPath(m_listing->folder, QString::fromUtf8(rawName).toStdWString())));
}

} // namespace platform
