#include "winfs_win.h"
#include "tempfile.h"
#include "winerror_win.h"

#include <algorithm>
#include <cerrno>
#include <random>
#include <vector>

namespace platform::win {
namespace {
constexpr std::int64_t kUnixEpochTicks = 116444736000000000; // 1970-01-01 in 100-ns steps since 1601
constexpr std::int64_t kTicksPerSecond = 10000000;

// The disposition that removes the name at once where the file system
// allows it (otherwise at the last close), read-only or not.
bool disposeAtOnce(HANDLE f)
{
    // FileDispositionInfoEx (Windows 10 1607 on), named here: the headers
    // give it only for a later system version than the build names.
    constexpr auto kDispositionInfoEx = FILE_INFO_BY_HANDLE_CLASS(21);
    constexpr DWORD kDelete = 0x1, kPosixSemantics = 0x2, kIgnoreReadOnly = 0x10;
    DWORD flags = kDelete | kPosixSemantics | kIgnoreReadOnly;
    return SetFileInformationByHandle(f, kDispositionInfoEx, &flags, sizeof flags) != 0;
}

bool dispose(HANDLE f)
{
    FILE_DISPOSITION_INFO d {};
    d.DeleteFile = TRUE;
    return SetFileInformationByHandle(f, FileDispositionInfo, &d, sizeof d) != 0;
}

constexpr int kCreateTries = 4; // fresh names tried for a new file
constexpr DWORD kRemoveAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

// A name no one can guess: prefix + 12 letters and digits.
std::string randomName(const std::string &prefix)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random; // the system's generator here
    std::string out = prefix;
    for (int i = 0; i < 12; ++i)
        out += letters[random() % (sizeof letters - 1)];
    return out;
}

// Renames the open file to target (a \\?\ path) through its own handle:
// what is renamed is the file written, whatever has its temporary name.
bool renameThrough(NativeFile file, const std::wstring &target)
{
    // The call takes the system's own form of the path: \??\ for \\?\.
    std::wstring name = target;
    if (name.starts_with(L"\\\\?\\"))
        name[1] = L'?';
    std::vector<char> buf(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buf.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), info->FileName);
    return SetFileInformationByHandle(h(file), FileRenameInfo, info, DWORD(buf.size())) != 0;
}

bool setAttributes(HANDLE f, DWORD attrs)
{
    FILE_BASIC_INFO b {}; // zero times: left as they are
    b.FileAttributes = attrs ? attrs : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(f, FileBasicInfo, &b, sizeof b) != 0;
}
} // namespace

std::int64_t unixNsOf(const FILETIME &t)
{
    const std::int64_t ticks = std::int64_t((std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    return (ticks - kUnixEpochTicks) * 100;
}

FILETIME fileTimeOf(std::int64_t sec, std::int32_t nsec)
{
    const std::uint64_t ticks = std::uint64_t(sec * kTicksPerSecond + nsec / 100 + kUnixEpochTicks);
    FILETIME t;
    t.dwLowDateTime = DWORD(ticks);
    t.dwHighDateTime = DWORD(ticks >> 32);
    return t;
}

NativeFile openEntry(const std::wstring &path, DWORD access, DWORD share, bool followLinks)
{
    if (path.empty()) {
        errno = ENOENT;
        return kNoFile;
    }
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const std::wstring wide = longPath(path);
    const HANDLE f = CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        setErrnoFromLastError();
        return kNoFile;
    }
    // Where the name shows a link but the handle is not one, the system has
    // followed it all the same (Wine with a link of the host's file system):
    // whatever the handle reached is not the entry at the name.
    if (const DWORD attrs = followLinks ? INVALID_FILE_ATTRIBUTES : attributesOf(nf(f));
        attrs != INVALID_FILE_ATTRIBUTES && !isLink(attrs)) {
        const DWORD named = GetFileAttributesW(wide.c_str());
        if (named != INVALID_FILE_ATTRIBUTES && isLink(named)) {
            CloseHandle(f);
            errno = ELOOP;
            return kNoFile;
        }
    }
    return nf(f);
}

NativeFile openEntry(const std::wstring &path, DWORD access, bool followLinks)
{
    return openEntry(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, followLinks);
}

bool infoOf(NativeFile f, BY_HANDLE_FILE_INFORMATION &info)
{
    if (f == kNoFile || !GetFileInformationByHandle(h(f), &info)) {
        setErrnoFromLastError();
        return false;
    }
    return true;
}

bool entryInfoOf(NativeFile f, EntryInfo &info)
{
    FILE_BASIC_INFO basic {};
    FILE_STANDARD_INFO standard {};
    if (f == kNoFile || !GetFileInformationByHandleEx(h(f), FileBasicInfo, &basic, sizeof basic)
        || !GetFileInformationByHandleEx(h(f), FileStandardInfo, &standard, sizeof standard)) {
        setErrnoFromLastError();
        return false;
    }
    info.attributes = basic.FileAttributes;
    info.size = standard.EndOfFile.QuadPart;
    info.lastWrite.dwLowDateTime = basic.LastWriteTime.LowPart;
    info.lastWrite.dwHighDateTime = DWORD(basic.LastWriteTime.HighPart);
    return true;
}

DWORD attributesOf(NativeFile f)
{
    FILE_BASIC_INFO basic {};
    if (f == kNoFile || !GetFileInformationByHandleEx(h(f), FileBasicInfo, &basic, sizeof basic)) {
        setErrnoFromLastError();
        return INVALID_FILE_ATTRIBUTES;
    }
    return basic.FileAttributes;
}

NativeFile holdFolder(const std::wstring &path, bool followLinks)
{
    constexpr DWORD access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    NativeFile dir = openEntry(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, followLinks);
    if (dir == kNoFile)
        return kNoFile;
    const DWORD attrs = attributesOf(dir);
    int err = 0;
    if (attrs == INVALID_FILE_ATTRIBUTES)
        err = errno;
    else if (isLink(attrs) && !followLinks)
        err = ELOOP;
    else if (!(attrs & FILE_ATTRIBUTE_DIRECTORY))
        err = ENOTDIR;
    if (!err)
        return dir;
    CloseHandle(h(dir));
    errno = err;
    return kNoFile;
}

std::wstring pathOf(NativeFile folder)
{
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetFinalPathNameByHandleW(h(folder), buf.data(), DWORD(buf.size()), FILE_NAME_NORMALIZED);
        if (n == 0) {
            setErrnoFromLastError();
            return {};
        }
        if (n < buf.size())
            return std::wstring(buf.data(), n);
        buf.resize(n + 1);
    }
}

std::wstring joinPath(const std::wstring &folder, const std::wstring &name)
{
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/')
        return folder + name;
    return folder + L'\\' + name;
}

bool splitPath(const std::wstring &path, std::wstring &folder, std::wstring &name)
{
    const std::size_t sep = path.find_last_of(L"\\/");
    if (sep == std::wstring::npos) {
        folder = L".";
        name = path;
    } else {
        // A drive's root keeps its separator ("C:\"), as the system needs it.
        const bool root = sep == 0 || (sep == 2 && path[1] == L':');
        folder = path.substr(0, root ? sep + 1 : sep);
        name = path.substr(sep + 1);
    }
    return !name.empty() && name != L"." && name != L"..";
}

int removeThrough(NativeFile entry, bool folders)
{
    const DWORD attrs = attributesOf(entry);
    if (attrs == INVALID_FILE_ATTRIBUTES)
        return errno;
    if ((attrs & FILE_ATTRIBUTE_DIRECTORY) && !isLink(attrs) && !folders)
        return EISDIR;
    if (disposeAtOnce(h(entry)) || dispose(h(entry)))
        return 0;
    DWORD err = GetLastError();
    // Older file systems: a read-only file goes once its attribute is
    // cleared; it is put back when the removal fails all the same.
    if (err == ERROR_ACCESS_DENIED && (attrs & FILE_ATTRIBUTE_READONLY)
        && setAttributes(h(entry), attrs & ~DWORD(FILE_ATTRIBUTE_READONLY))) {
        if (dispose(h(entry)))
            return 0;
        err = GetLastError();
        setAttributes(h(entry), attrs);
    }
    if (err == ERROR_DIR_NOT_EMPTY)
        return ENOTEMPTY;
    SetLastError(err);
    return setErrnoFromLastError();
}

int replaceThroughNewFile(const std::wstring &path, bool readOnly, const std::function<int(NativeFile)> &write)
{
    std::wstring folder, name;
    if (!splitPath(path, folder, name))
        return EINVAL;
    FileHandle dir(holdFolder(folder, true));
    if (!dir.isOpen())
        return errno;
    const std::wstring held = pathOf(dir.get());
    if (held.empty())
        return errno;
    const std::wstring target = joinPath(held, name);
    TempFile file;
    int err = EEXIST;
    std::string tempName;
    // A fresh random name each try: nothing of anyone else's is removed.
    for (int i = 0; i < kCreateTries && err == EEXIST; ++i) {
        tempName = randomName("." + narrow(name) + ".");
        if (entryIdAt(dir.get(), tempName).known)
            continue;
        err = file.createAt(dir.get(), tempName, narrow(path) + ".tmp");
    }
    if (!err)
        err = write(file.fd());
    FILE_BASIC_INFO basic {};
    basic.FileAttributes = readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    if (!err && readOnly && !SetFileInformationByHandle(h(file.fd()), FileBasicInfo, &basic, sizeof basic))
        err = setErrnoFromLastError();
    if (!err && !FlushFileBuffers(h(file.fd())))
        err = setErrnoFromLastError();
    // A link to a folder at the name is replaced like any link; a folder
    // is not, and the name stays the folder's.
    const DWORD there = GetFileAttributesW(target.c_str());
    if (!err && there != INVALID_FILE_ATTRIBUTES && (there & FILE_ATTRIBUTE_DIRECTORY)) {
        FileHandle link(isLink(there) ? openEntry(target, kRemoveAccess, false) : kNoFile);
        err = link.isOpen() ? removeThrough(link.get(), false) : isLink(there) ? errno : EISDIR;
    }
    if (!err && !renameThrough(file.fd(), target)) {
        // A file system that renames only by name: the file is closed first
        // (it shares no deletion) and must still be ours at its name.
        err = setErrnoFromLastError();
        if (err == EINVAL || err == EIO) {
            err = file.close();
            const std::wstring temp = joinPath(held, widen(tempName));
            if (!err && !file.nameIsOurs())
                err = ENOENT; // someone took the temporary name away
            if (!err && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                err = setErrnoFromLastError();
        }
    }
    if (!err)
        file.keep(); // it has the final name now
    return err;      // on failure the file object removes the temporary file
}

} // namespace platform::win
