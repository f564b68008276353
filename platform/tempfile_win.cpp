// The program's own files on Windows. The file is held open sharing only
// reading, so that while the handle is open no one else can write it, rename
// it or remove it; its folder is held the same way, so the name cannot move
// either. While it is written the handle may also remove and rename it (then
// no one else opens it at all: an opener would have to share deletion); held
// for reading, others may read it and the system map it. A removal goes
// through the held handle where it may, else through a handle of the very
// entry found at the name. There is no descriptor folder: descriptorPath()
// is empty.
#include "storeio.h"
#include "tempfile.h"
#include "winerror_win.h"
#include "winfs_win.h"

#include <cerrno>
#include <exception>
#include <utility>

namespace platform {

using win::h;
using win::nf;

namespace {

// Tries of the remove-then-create step when an entry reappears in between.
constexpr int kCreateTries = 4;
// Access to the entry at a name when it may be removed through the handle.
constexpr DWORD kRemoveAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

FileId idOf(const BY_HANDLE_FILE_INFORMATION &i) { return {i.dwVolumeSerialNumber, win::fileIndexOf(i), true}; }

int closeFd(NativeFile &fd)
{
    int err = 0;
    if (fd != kNoFile && !CloseHandle(h(fd)))
        err = win::setErrnoFromLastError();
    fd = kNoFile;
    return err;
}

FileId entryIdOfWide(const std::wstring &path)
{
    FileHandle f(win::openEntry(path, FILE_READ_ATTRIBUTES, false));
    BY_HANDLE_FILE_INFORMATION info {};
    return f.isOpen() && win::infoOf(f.get(), info) ? idOf(info) : FileId();
}

std::wstring entryPath(NativeFile dir, const std::string &name)
{
    const std::wstring folder = win::pathOf(dir);
    return folder.empty() ? folder : win::joinPath(folder, win::widen(name));
}

} // namespace

FileId fileIdOf(NativeFile fd)
{
    BY_HANDLE_FILE_INFORMATION info {};
    return win::infoOf(fd, info) ? idOf(info) : FileId();
}

FileId entryIdOf(const std::string &path) { return entryIdOfWide(win::longPath(win::widen(path))); }

FileId entryIdAt(NativeFile dirFd, const std::string &name)
{
    const std::wstring path = entryPath(dirFd, name);
    return path.empty() ? FileId() : entryIdOfWide(path);
}

// ---- TempFile ----

TempFile::~TempFile() { remove(); }

TempFile::TempFile(TempFile &&other) noexcept
    : m_dir(std::exchange(other.m_dir, kNoFile)), m_fd(std::exchange(other.m_fd, kNoFile)),
      m_name(std::move(other.m_name)), m_path(std::move(other.m_path)), m_id(std::exchange(other.m_id, FileId()))
{
}

TempFile &TempFile::operator=(TempFile &&other) noexcept
{
    if (this != &other) {
        remove();
        m_dir = std::exchange(other.m_dir, kNoFile);
        m_fd = std::exchange(other.m_fd, kNoFile);
        m_name = std::move(other.m_name);
        m_path = std::move(other.m_path);
        m_id = std::exchange(other.m_id, FileId());
    }
    return *this;
}

int TempFile::create(const std::string &path)
{
    remove();
    std::wstring folder, name;
    if (!win::splitPath(win::widen(path), folder, name))
        return EINVAL;
    NativeFile dir = win::holdFolder(folder, true);
    if (dir == kNoFile)
        return errno;
    const int err = createAt(dir, win::narrow(name), path);
    closeFd(dir);
    return err;
}

int TempFile::createAt(NativeFile dirFd, const std::string &name, const std::string &shownPath)
{
    remove();
    if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos)
        return EINVAL;
    HANDLE dup = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), h(dirFd), GetCurrentProcess(), &dup, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return win::setErrnoFromLastError();
    NativeFile dir = nf(dup);
    const std::wstring path = entryPath(dir, name);
    int err = path.empty() ? errno : EEXIST;
    for (int i = 0; i < kCreateTries && err == EEXIST; ++i) {
        // The old entry goes first: a file, or a link itself. A folder stays,
        // and then the name is taken (EEXIST); so does an entry we may not remove.
        FileHandle old(win::openEntry(path, kRemoveAccess, false));
        const int removeErr = old.isOpen() ? win::removeThrough(old.get(), false) : errno;
        old.close();
        const HANDLE f = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        m_fd = f == INVALID_HANDLE_VALUE ? kNoFile : nf(f);
        err = m_fd != kNoFile ? 0 : win::setErrnoFromLastError();
        if (err == EEXIST && removeErr != 0 && removeErr != ENOENT) {
            if (removeErr != EISDIR)
                err = removeErr;
            break;
        }
        // Otherwise an EEXIST means the name came back in between: again.
    }
    if (err) {
        closeFd(dir);
        return err;
    }
    m_dir = dir;
    m_name = name;
    m_path = shownPath;
    m_id = fileIdOf(m_fd);
    return 0;
}

bool TempFile::nameIsOurs() const { return m_id.known && m_dir != kNoFile && entryIdAt(m_dir, m_name) == m_id; }

std::string TempFile::descriptorPath() const { return {}; }

void setDescriptorFolderForTesting(const std::string &) {}

int TempFile::close() { return closeFd(m_fd); }

// The writing handle cannot simply become a reading one, and a reader that
// lets no one else write cannot be opened while the writer is open. So a
// reader that lets the writer be comes first, then the writer goes, then a
// reader that lets no one else write takes over from the first reader: if
// anyone opened the file for writing in between, that last step fails.
int TempFile::holdForReading()
{
    if (m_fd == kNoFile)
        return EBADF;
    const HANDLE lenient =
        ReOpenFile(h(m_fd), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (lenient == INVALID_HANDLE_VALUE)
        return win::setErrnoFromLastError();
    if (const int err = closeFd(m_fd)) {
        CloseHandle(lenient);
        return err;
    }
    const HANDLE strict = ReOpenFile(lenient, GENERIC_READ, FILE_SHARE_READ, 0);
    const int err = strict == INVALID_HANDLE_VALUE ? win::setErrnoFromLastError() : 0;
    CloseHandle(lenient);
    if (err)
        return err;
    m_fd = nf(strict);
    return 0;
}

namespace {

// Removes the entry at name when it is the file id: through the held handle
// where that may remove (it is the file, and its name cannot have changed
// while it was held), else through a handle of the entry now at the name,
// after the held one is closed (it shares no deletion). `last` receives the
// handle to close afterwards, where a file system frees the space.
bool removeOurs(NativeFile &held, NativeFile dir, const std::string &name, const FileId &id, NativeFile &last)
{
    last = kNoFile;
    if (!id.known || dir == kNoFile) {
        closeFd(held);
        return false;
    }
    if (held != kNoFile && entryIdAt(dir, name) == id && win::removeThrough(held, false) == 0) {
        last = std::exchange(held, kNoFile);
        return true;
    }
    closeFd(held);
    last = win::openEntry(entryPath(dir, name), kRemoveAccess, false);
    return last != kNoFile && fileIdOf(last) == id && win::removeThrough(last, false) == 0;
}

} // namespace

bool TempFile::remove()
{
    NativeFile last;
    const bool removed = removeOurs(m_fd, m_dir, m_name, m_id, last);
    closeFd(last);
    forget();
    return removed;
}

bool TempFile::removeClosingInBackground()
{
    // Where the file system removes the name only at the last close, the
    // name goes when the thread has closed the handle.
    NativeFile last;
    const bool removed = removeOurs(m_fd, m_dir, m_name, m_id, last);
    forget();
    if (last != kNoFile)
        closeInBackground(last);
    return removed;
}

void TempFile::keep() { forget(); }

void TempFile::forget()
{
    closeFd(m_fd);
    closeFd(m_dir);
    m_name.clear();
    m_path.clear();
    m_id = FileId();
}

// ---- replacing a file: winfs_win.cpp ----

int replaceFile(const std::string &path, const void *bytes, std::size_t size, std::uint32_t mode)
{
    return win::replaceThroughNewFile(win::longPath(win::widen(path)), !(mode & 0200), [&](NativeFile f) {
        errno = 0;
        return writeAll(f, bytes, size) ? 0 : errno ? errno : EIO;
    });
}

} // namespace platform
