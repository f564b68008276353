#include "storeio.h"
#include "winerror_win.h"

#include <algorithm>
#include <cerrno>
#include <vector>
#include <windows.h>

namespace platform {
namespace {
constexpr std::size_t kBufferSize = 256 * 1024;
// One ReadFile or WriteFile moves at most this much.
constexpr std::size_t kMaxTransfer = 1u << 30;

HANDLE h(NativeFile f) { return reinterpret_cast<HANDLE>(f); }
} // namespace

NativeFile openRegularForReading(const std::string &path, std::uint64_t &size)
{
    const HANDLE f = CreateFileW(win::longPath(win::widen(path)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        win::setErrnoFromLastError();
        return kNoFile;
    }
    BY_HANDLE_FILE_INFORMATION info {};
    if (GetFileType(f) != FILE_TYPE_DISK || !GetFileInformationByHandle(f, &info)
        || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
        CloseHandle(f);
        errno = 0;
        return kNoFile;
    }
    size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return reinterpret_cast<NativeFile>(f);
}

std::int64_t fileLength(NativeFile fd)
{
    LARGE_INTEGER n {};
    if (!GetFileSizeEx(h(fd), &n)) {
        win::setErrnoFromLastError();
        return -1;
    }
    return n.QuadPart;
}

std::int64_t seekToEnd(NativeFile fd)
{
    LARGE_INTEGER zero {}, pos {};
    if (!SetFilePointerEx(h(fd), zero, &pos, FILE_END)) {
        win::setErrnoFromLastError();
        return -1;
    }
    return pos.QuadPart;
}

bool truncateAt(NativeFile fd, std::uint64_t length)
{
    LARGE_INTEGER at {};
    at.QuadPart = LONGLONG(length);
    if (!SetFilePointerEx(h(fd), at, nullptr, FILE_BEGIN) || !SetEndOfFile(h(fd))) {
        win::setErrnoFromLastError();
        return false;
    }
    return true;
}

bool readAt(NativeFile fd, void *buf, std::size_t len, std::uint64_t offset)
{
    auto p = static_cast<char *>(buf);
    while (len > 0) {
        OVERLAPPED at {};
        at.Offset = DWORD(offset);
        at.OffsetHigh = DWORD(offset >> 32);
        DWORD n = 0;
        if (!ReadFile(h(fd), p, DWORD(std::min(len, kMaxTransfer)), &n, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                return errno = 0, false;
            win::setErrnoFromLastError();
            return false;
        }
        if (n == 0)
            return errno = 0, false; // the file ends early
        p += n;
        offset += n;
        len -= n;
    }
    return true;
}

bool writeAll(NativeFile fd, const void *buf, std::size_t len)
{
    auto p = static_cast<const char *>(buf);
    while (len > 0) {
        DWORD n = 0;
        if (!WriteFile(h(fd), p, DWORD(std::min(len, kMaxTransfer)), &n, nullptr)) {
            win::setErrnoFromLastError();
            return false;
        }
        if (n == 0)
            return errno = EIO, false;
        p += n;
        len -= n;
    }
    return true;
}

CopyStatus copyRange(NativeFile inFd, std::uint64_t offset, std::uint64_t len, NativeFile outFd)
{
    // No range copy between two open files here: through a buffer.
    std::vector<char> buf(std::min<std::uint64_t>(len, kBufferSize));
    while (len > 0) {
        const std::size_t n = std::min<std::uint64_t>(len, buf.size());
        if (!readAt(inFd, buf.data(), n, offset))
            return CopyStatus::ReadFailed;
        if (!writeAll(outFd, buf.data(), n))
            return CopyStatus::WriteFailed;
        offset += n;
        len -= n;
    }
    return CopyStatus::Ok;
}

} // namespace platform
