#include "dynlib.h"
#include "drives.h"
#include "tempfile.h"
#include "winerror_win.h"

#include <QDir>
#include <windows.h>

namespace platform {
namespace {
QString g_lastError;

// The file and the system's text for the error of the load that just
// failed, as the Linux loader words it ("<file>: <reason>").
void keepLastError(const std::wstring &file)
{
    const DWORD code = GetLastError();
    g_lastError = QString::fromStdWString(file + L": " + win::systemErrorText(code));
}

std::wstring wide(const QString &s) { return s.toStdWString(); }

// The identity of what a path names now, links followed as the loader
// follows them. The handle asks for no data access and shares everything,
// so it neither fails for nor disturbs the written file's own handle.
FileId idOfPath(const std::wstring &path)
{
    const HANDLE f = CreateFileW(win::longPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return {};
    const FileId id = fileIdOf(reinterpret_cast<NativeFile>(f));
    CloseHandle(f);
    return id;
}

// By full path only: the library's own folder and the system folder are
// searched for what it needs, never the program's folder or the current one.
constexpr DWORD kByPath = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;

HMODULE openLibrary(const std::wstring &hostPath, DWORD flags)
{
    // A drive without a medium answers with an error, not with the system's
    // "insert a disk" box.
    const QuietDriveErrors quiet;
    const HMODULE h = LoadLibraryExW(hostPath.c_str(), nullptr, flags);
    if (!h)
        keepLastError(hostPath);
    return h;
}
} // namespace

void restrictLibrarySearch() { SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }

void *loadLibrary(const QString &path)
{
    const bool bare = !path.contains('\\') && !path.contains('/') && !path.contains(':');
    if (bare)
        return openLibrary(wide(path), LOAD_LIBRARY_SEARCH_SYSTEM32);
    const QString host = toHostPath(path);
    if (host.isEmpty()) {
        g_lastError = QStringLiteral("no drive behind %1").arg(path);
        return nullptr;
    }
    return openLibrary(wide(QDir::toNativeSeparators(host)), kByPath);
}

void *loadWrittenLibrary(const QString &path, const TempFile &file)
{
    const QString host = toHostPath(path);
    if (file.fd() == kNoFile || host.isEmpty() || host.toStdString() != file.path()) {
        g_lastError = QStringLiteral("%1 is not the file that was written").arg(path);
        return nullptr;
    }
    const std::wstring hostPath = wide(QDir::toNativeSeparators(host));
    if (!file.nameIsOurs() || idOfPath(hostPath) != file.id()) {
        g_lastError = QStringLiteral("%1 was replaced after it was written").arg(path);
        return nullptr;
    }
    // The loader hands back a module already loaded under the same name
    // without opening the file again: that module is not the file written.
    HMODULE loaded = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, hostPath.c_str(), &loaded)) {
        g_lastError = QStringLiteral("a library named %1 is still loaded").arg(path);
        return nullptr;
    }
    HMODULE h = openLibrary(hostPath, kByPath);
    if (!h)
        return nullptr;
    // What was mapped: the module's own file, which must be the one written.
    const std::wstring mapped = win::moduleFileName(h);
    if (mapped.empty() || idOfPath(mapped) != file.id()) {
        FreeLibrary(h);
        g_lastError = QStringLiteral("%1 was replaced after it was written").arg(path);
        return nullptr;
    }
    return h;
}

void *librarySymbol(void *lib, const char *name)
{
    return lib ? reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(lib), name)) : nullptr;
}

void freeLibrary(void *lib)
{
    if (lib)
        FreeLibrary(static_cast<HMODULE>(lib));
}

QString lastLibraryError() { return g_lastError; }

} // namespace platform
