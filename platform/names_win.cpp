#include "names.h"
#include "winerror_win.h"

#include <QDir>

#include <windows.h>

namespace platform {

QString hostNameProblem(const QString &relPath) { return windowsNameProblem(relPath); }
QStringList hostLetterCaseTwins(const QStringList &relPaths) { return letterCaseTwins(relPaths); }

bool fileInUse(const QString &hostPath)
{
    // Opening for writing with every sharing allowed fails only where the
    // holder shares no writing (a running program's file included).
    const std::wstring path = win::longPath(QDir::toNativeSeparators(hostPath).toStdWString());
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    const DWORD e = GetLastError();
    return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION;
}

} // namespace platform
