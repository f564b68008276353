// The log on Windows: opened for appending only (every write lands at the
// end), with read and write sharing as an appended file has on other
// systems. A reparse point at the name is refused, never followed.
#include "logfile.h"
#include "winerror_win.h"
#include "winfs_win.h"

#include <algorithm>

namespace platform {

NativeFile openAppendOnly(const QString &hostPath, QString *error)
{
    const std::wstring path = win::longPath(hostPath.toStdWString());
    const HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        const DWORD attrs = GetFileAttributesW(path.c_str());
        // A folder is not opened without backup semantics: refused as what it is.
        *error = code == ERROR_ACCESS_DENIED && attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)
            ? QStringLiteral("to nie jest zwykły plik")
            : QString::fromStdWString(win::systemErrorText(code));
        SetLastError(code);
        win::setErrnoFromLastError();
        return kNoFile;
    }
    BY_HANDLE_FILE_INFORMATION info {};
    const bool ok = GetFileType(f) == FILE_TYPE_DISK && GetFileInformationByHandle(f, &info);
    if (!ok || win::isLink(info.dwFileAttributes) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(f);
        *error = ok && win::isLink(info.dwFileAttributes) ? QStringLiteral("to dowiązanie symboliczne")
                                                         : QStringLiteral("to nie jest zwykły plik");
        return kNoFile;
    }
    return win::nf(f);
}

bool appendBytes(NativeFile fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        DWORD n = 0;
        if (!WriteFile(win::h(fd), p, DWORD(std::min<qsizetype>(left, 1 << 30)), &n, nullptr)) {
            win::setErrnoFromLastError();
            return false;
        }
        if (n == 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

} // namespace platform
