// The desktop on Windows: the folder from the registry, the shortcut as a
// shell link, the program started with CreateProcessW.
#include "desktop.h"
#include "program.h"
#include "winerror_win.h"

#include <QDir>
#include <QFileInfo>
#include <random>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace platform {
namespace {

const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::wstring wide(const QString &s) { return s.toStdWString(); }
std::wstring native(const QString &path) { return wide(QDir::toNativeSeparators(path)); }
QString text(unsigned long code) { return QString::fromStdWString(win::systemErrorText(code)); }

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

// A value of the Shell Folders key, as text; an expandable one expanded.
// False when it is not text; missing: true with an empty text.
bool readFolderValue(HKEY key, const wchar_t *name, QString &out, LONG &rc)
{
    DWORD type = 0, size = 0;
    rc = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    std::wstring buf;
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return false;
        buf.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = DWORD(buf.size() * sizeof(wchar_t));
        rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buf.data()), &got);
        if (rc == ERROR_SUCCESS) {
            buf.resize(got / sizeof(wchar_t)); // not always ended by a zero
            break;
        }
        size = got;
    }
    if (rc == ERROR_FILE_NOT_FOUND)
        rc = ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS)
        return true;
    while (!buf.empty() && buf.back() == L'\0')
        buf.pop_back();
    if (type == REG_EXPAND_SZ && !buf.empty()) {
        const DWORD n = ExpandEnvironmentStringsW(buf.c_str(), nullptr, 0);
        std::wstring expanded(n, L'\0');
        if (n && ExpandEnvironmentStringsW(buf.c_str(), expanded.data(), n) == n) {
            expanded.resize(n - 1);
            buf = expanded;
        }
    }
    out = QString::fromStdWString(buf);
    return true;
}

QString knownFolder(REFKNOWNFOLDERID id, HRESULT *hr = nullptr)
{
    wchar_t *path = nullptr;
    QString out;
    const HRESULT got = SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path);
    if (SUCCEEDED(got))
        out = QString::fromWCharArray(path);
    CoTaskMemFree(path);
    if (hr)
        *hr = got;
    return out;
}

// COM on this thread for the lifetime of the object (the GUI thread has it
// already: then only the count goes up and down).
class ComScope {
public:
    ComScope() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    // A thread of the other apartment kind works too.
    HRESULT result() const { return m_hr == RPC_E_CHANGED_MODE ? S_OK : m_hr; }

private:
    HRESULT m_hr;
};

template <class T> struct Released {
    T *p = nullptr;
    ~Released()
    {
        if (p)
            p->Release();
    }
};

QString randomSuffix()
{
    std::random_device random;
    return QStringLiteral(".%1.tmp").arg(quint32(random()), 8, 16, QChar('0'));
}

// Fills the link and saves it at a host path.
HRESULT saveLink(const DesktopEntry &entry, const std::wstring &file, QString *step)
{
    Released<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void **>(&link.p));
    *step = QStringLiteral("CoCreateInstance(CLSID_ShellLink)");
    if (FAILED(hr))
        return hr;
    *step = QStringLiteral("IShellLinkW");
    if (FAILED(hr = link.p->SetPath(native(entry.argv.first()).c_str())))
        return hr;
    if (FAILED(hr = link.p->SetArguments(wide(quotedCommandLine(entry.argv.mid(1))).c_str())))
        return hr;
    if (FAILED(hr = link.p->SetWorkingDirectory(native(entry.workingDir).c_str())))
        return hr;
    if (QFileInfo(entry.icon).isAbsolute() && QFileInfo(entry.icon).isFile()
        && FAILED(hr = link.p->SetIconLocation(native(entry.icon).c_str(), 0)))
        return hr;
    if (!entry.comment.isEmpty() && FAILED(hr = link.p->SetDescription(wide(entry.comment).c_str())))
        return hr;
    Released<IPersistFile> persist;
    *step = QStringLiteral("IPersistFile");
    if (FAILED(hr = link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&persist.p))))
        return hr;
    return persist.p->Save(file.c_str(), TRUE);
}

} // namespace

QString desktopFolder(QString *error)
{
    HKEY key = nullptr;
    // Read access is all that is needed: full access would be refused to a
    // user whose profile is managed, for no gain.
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        fail(error, QStringLiteral("Nie można otworzyć klucza rejestru:\r") + QString::fromWCharArray(kShellFolders));
        return {};
    }
    QString folder;
    LONG rc = ERROR_SUCCESS;
    const bool isText = readFolderValue(key, L"Desktop", folder, rc);
    RegCloseKey(key);
    if (!isText) {
        fail(error, QStringLiteral("Wartość „Desktop” klucza rejestru %1 nie jest tekstem")
                        .arg(QString::fromWCharArray(kShellFolders)));
        return {};
    }
    if (rc != ERROR_SUCCESS) {
        fail(error, QStringLiteral("Nie można odczytać wartości „Desktop” klucza rejestru %1:\r%2")
                        .arg(QString::fromWCharArray(kShellFolders), text(rc)));
        return {};
    }
    // Without the value the shortcut would land in the root of the current
    // drive: the folder the system itself names for the desktop instead.
    if (folder.isEmpty())
        folder = knownFolder(FOLDERID_Desktop);
    if (folder.isEmpty())
        fail(error, QStringLiteral("System nie podaje katalogu pulpitu"));
    return QDir::toNativeSeparators(QDir::cleanPath(folder));
}

QString shortcutFileName(const QString &name) { return name + QStringLiteral(".lnk"); }

QString programsMenuFolder(QString *error)
{
    HRESULT hr = S_OK;
    const QString folder = knownFolder(FOLDERID_Programs, &hr);
    if (folder.isEmpty())
        fail(error, QStringLiteral("System nie podaje katalogu menu Start (%1)").arg(text(ulong(hr))));
    return QDir::cleanPath(QDir::fromNativeSeparators(folder));
}

bool writeShortcut(const QString &hostFile, const DesktopEntry &entry, QString *error)
{
    if (entry.argv.isEmpty())
        return fail(error, QStringLiteral("Brak programu skrótu"));
    const ComScope com;
    if (FAILED(com.result()))
        return fail(error, text(com.result()));
    // Saved under a new name beside it, then renamed over the name: a link
    // at the name is replaced itself, and a half-written file is never seen.
    const std::wstring file = native(hostFile);
    const std::wstring temporary = native(hostFile + randomSuffix());
    QString step;
    const HRESULT hr = saveLink(entry, temporary, &step);
    if (FAILED(hr)) {
        DeleteFileW(temporary.c_str());
        return fail(error, step + QStringLiteral(": ") + text(hr));
    }
    if (!MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        DeleteFileW(temporary.c_str());
        return fail(error, text(code));
    }
    return true;
}

bool startDetached(const QStringList &argv, const QString &workingDir)
{
    if (argv.isEmpty())
        return false;
    // The program by its own path (no search of the current folder or PATH),
    // the command line with every argument quoted: "<program>" "katCD=...".
    const std::wstring program = native(argv.first());
    std::wstring line = wide(quotedCommandLine(QStringList(QDir::toNativeSeparators(argv.first())) + argv.mid(1)));
    const std::wstring folder = native(workingDir);
    STARTUPINFOW si {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi {};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE,
                        NORMAL_PRIORITY_CLASS | CREATE_UNICODE_ENVIRONMENT, nullptr,
                        workingDir.isEmpty() ? nullptr : folder.c_str(), &si, &pi)) {
        win::setErrnoFromLastError();
        return false;
    }
    // Not waited for: the handles go, the program runs on by itself.
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

} // namespace platform
