#pragma once
// For the Windows implementations only: entries opened by name with or
// without following a reparse point, an open file's identity and times, the
// path of an open folder, and replacing a file through a new one beside it.
// Paths are wide; UTF-8 and long paths: winerror_win.h.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "filehandle.h"

#include <cstdint>
#include <functional>
#include <string>
#include <windows.h>

namespace platform::win {

inline HANDLE h(NativeFile f) { return reinterpret_cast<HANDLE>(f); }
inline NativeFile nf(HANDLE f) { return reinterpret_cast<NativeFile>(f); }

// The attribute bits the program knows (read-only, hidden, system, folder,
// archive: the same values as FILE_ATTRIBUTE_*).
constexpr DWORD kKnownAttributes = 0x37;
// Any reparse point counts as a link: it is never followed where a link is not.
inline bool isLink(DWORD attrs) { return (attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// 100-ns steps since 1601 <-> time since 1970.
std::int64_t unixNsOf(const FILETIME &t);
FILETIME fileTimeOf(std::int64_t sec, std::int32_t nsec);

// Opens an existing entry by path for `access`, every sharing allowed; a
// folder opens too. followLinks false: a reparse point is opened itself.
// kNoFile with errno set on failure.
NativeFile openEntry(const std::wstring &path, DWORD access, bool followLinks);
// The same with a sharing mode of one's own.
NativeFile openEntry(const std::wstring &path, DWORD access, DWORD share, bool followLinks);
// What the system tells of an open file; false with errno set on failure.
bool infoOf(NativeFile f, BY_HANDLE_FILE_INFORMATION &info);
inline std::uint64_t fileIndexOf(const BY_HANDLE_FILE_INFORMATION &i)
{
    return (std::uint64_t(i.nFileIndexHigh) << 32) | i.nFileIndexLow;
}
inline std::int64_t sizeOf(const BY_HANDLE_FILE_INFORMATION &i)
{
    return std::int64_t((std::uint64_t(i.nFileSizeHigh) << 32) | i.nFileSizeLow);
}
// What infoOf tells but the volume's serial number, the file's index and its
// links: attributes, size and last write. infoOf asks the volume for its
// serial number on every call, which under Wine is a round trip to another
// process (about a millisecond a file); these two ask the file alone.
struct EntryInfo {
    DWORD attributes = 0;
    std::int64_t size = 0;
    FILETIME lastWrite {};
};
bool entryInfoOf(NativeFile f, EntryInfo &info);
// The attributes alone; INVALID_FILE_ATTRIBUTES with errno set on failure.
DWORD attributesOf(NativeFile f);

// Opens a folder and holds it: while the handle is open no one can rename or
// remove it. A link where the folder should be gives ELOOP unless
// followLinks, anything but a folder ENOTDIR; kNoFile with errno then.
NativeFile holdFolder(const std::wstring &path, bool followLinks);

// The path of an open folder (\\?\ form); empty with errno set on failure.
std::wstring pathOf(NativeFile folder);
// folder + "\" + name.
std::wstring joinPath(const std::wstring &folder, const std::wstring &name);
// The folder part ("." for a bare name) and the last name of a path, at its
// last "\" or "/"; false when the last name is empty, "." or "..".
bool splitPath(const std::wstring &path, std::wstring &folder, std::wstring &name);

// Removes the entry through a handle of its own: the file, or the link itself
// (never what it points to), or an empty folder when folders is true. A
// read-only file is removed as on other systems (its attribute is cleared
// first). 0 or an errno value (EISDIR for a folder when folders is false).
int removeThrough(NativeFile entry, bool folders);

// Writes path through a new file of a fresh random name in its folder, then
// renames it over the name (a link there is replaced, not followed; a folder
// there fails with EISDIR). write() gets the new file's handle and returns 0
// or an errno value; readOnly gives the new file the read-only attribute.
// Returns 0 or an errno value; the new file is gone on every way out.
int replaceThroughNewFile(const std::wstring &path, bool readOnly, const std::function<int(NativeFile)> &write);

} // namespace platform::win
