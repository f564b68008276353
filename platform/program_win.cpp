// The running program on Windows: the wide command line, the module's file,
// the starter's console, and the uninstaller's run from a copy of itself.
#include "program.h"
#include "winerror_win.h"
#include "winfs_win.h"

#include <QDir>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <shellapi.h>

namespace platform {
namespace {

// In the copy: "<pipe>;<process>", the inherited handles of the pipe to the
// starter and of the starter's process (SYNCHRONIZE).
const wchar_t kStarterVariable[] = L"TVO_COPY_STARTER";

struct Starter {
    HANDLE pipe = nullptr;
    HANDLE process = nullptr;
    bool reported = false;
};

Starter &starter()
{
    static Starter s = [] {
        Starter found;
        wchar_t value[64] = {};
        const DWORD n = GetEnvironmentVariableW(kStarterVariable, value, DWORD(std::size(value)));
        unsigned long long pipe = 0, process = 0;
        if (n > 0 && n < std::size(value) && swscanf(value, L"%llu;%llu", &pipe, &process) == 2) {
            found.pipe = reinterpret_cast<HANDLE>(std::uintptr_t(pipe));
            found.process = reinterpret_cast<HANDLE>(std::uintptr_t(process));
            // Only handles this process really holds count: the variable
            // could come from anywhere.
            DWORD flags = 0;
            if (GetFileType(found.pipe) != FILE_TYPE_PIPE || !GetHandleInformation(found.process, &flags)
                || WaitForSingleObject(found.process, 0) == WAIT_FAILED)
                found = {};
        }
        SetEnvironmentVariableW(kStarterVariable, nullptr); // not passed on to what the copy starts
        return found;
    }();
    return s;
}

QString lastErrorText() { return QString::fromStdWString(win::systemErrorText(GetLastError())); }

int fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return -1;
}

// Closes a handle when it goes out of scope.
struct Owned {
    HANDLE h = nullptr;
    ~Owned()
    {
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

} // namespace

QStringList commandLineArguments(int argc, char **argv)
{
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    QStringList args;
    int n = 0;
    if (wchar_t **wargv = CommandLineToArgvW(GetCommandLineW(), &n)) {
        for (int i = 0; i < n; ++i)
            args << QString::fromWCharArray(wargv[i]);
        LocalFree(wargv);
    }
    const QString self = QDir::fromNativeSeparators(QString::fromStdWString(win::moduleFileName(nullptr)));
    if (args.isEmpty())
        args << self;
    else if (!self.isEmpty())
        args[0] = self;
    return args;
}

FileHandle openRunningProgram()
{
    const std::wstring path = win::moduleFileName(nullptr);
    if (path.empty()) {
        win::setErrnoFromLastError();
        return {};
    }
    return FileHandle(win::openEntry(win::longPath(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, true));
}

bool useStarterConsole()
{
    // Streams redirected by the starter (a pipe, a file) are kept as they are.
    const auto unset = [](DWORD which) {
        const HANDLE h = GetStdHandle(which);
        return h == nullptr || h == INVALID_HANDLE_VALUE || GetFileType(h) == FILE_TYPE_UNKNOWN;
    };
    const bool in = unset(STD_INPUT_HANDLE), out = unset(STD_OUTPUT_HANDLE), err = unset(STD_ERROR_HANDLE);
    if (!in && !out && !err)
        return true;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return !out;
    if (out)
        std::freopen("CONOUT$", "w", stdout);
    if (err)
        std::freopen("CONOUT$", "w", stderr);
    if (in)
        std::freopen("CONIN$", "r", stdin);
    SetConsoleOutputCP(CP_UTF8); // the program writes UTF-8
    return true;
}

void showTextBox(const QString &title, const QString &text, bool error)
{
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t *>(text.utf16()), reinterpret_cast<const wchar_t *>(title.utf16()),
                MB_OK | MB_SETFOREGROUND | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}

bool isCopyOfItself() { return starter().pipe != nullptr; }

bool mustRunFromCopy() { return !isCopyOfItself(); }

int runCopyOfItself(const QStringList &args, const QStringList &environment, QString *error)
{
    const std::wstring self = win::moduleFileName(nullptr);
    if (self.empty())
        return fail(error, lastErrorText());
    wchar_t temp[MAX_PATH + 1] = {};
    if (!GetTempPathW(MAX_PATH + 1, temp))
        return fail(error, lastErrorText());
    // Copies an earlier run left behind (where the system could not remove
    // one as it ended) go now; one still running stays.
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((std::wstring(temp) + L"ODINSTALUJ-*.EXE").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            DeleteFileW((std::wstring(temp) + found.cFileName).c_str());
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    // A name no one has: CopyFileW refuses an existing one.
    std::wstring copy;
    for (int attempt = 0;; ++attempt) {
        copy = std::wstring(temp) + L"ODINSTALUJ-"
               + QString::number(QRandomGenerator::system()->generate64(), 36).toUpper().toStdWString() + L".EXE";
        if (CopyFileW(self.c_str(), copy.c_str(), TRUE))
            break;
        if (GetLastError() != ERROR_FILE_EXISTS || attempt == 8)
            return fail(error, QStringLiteral("%1: %2").arg(QString::fromStdWString(copy), lastErrorText()));
    }
    // The copy goes when the last handle to it closes: this one, inherited by
    // the copy, closes when the copy ends.
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Owned gone{CreateFileW(copy.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherited, OPEN_EXISTING,
                           FILE_FLAG_DELETE_ON_CLOSE, nullptr)};
    if (gone.h == INVALID_HANDLE_VALUE) {
        const QString why = lastErrorText();
        DeleteFileW(copy.c_str());
        return fail(error, why);
    }
    Owned readEnd, writeEnd, process;
    if (!CreatePipe(&readEnd.h, &writeEnd.h, &inherited, 0) || !SetHandleInformation(readEnd.h, HANDLE_FLAG_INHERIT, 0)
        || !DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &process.h, SYNCHRONIZE,
                            TRUE, 0))
        return fail(error, lastErrorText());
    SetEnvironmentVariableW(kStarterVariable,
                            (std::to_wstring(std::uintptr_t(writeEnd.h)) + L";" + std::to_wstring(std::uintptr_t(process.h)))
                                .c_str());
    for (const QString &pair : environment) {
        const qsizetype eq = pair.indexOf('=');
        SetEnvironmentVariableW(pair.left(eq).toStdWString().c_str(), pair.mid(eq + 1).toStdWString().c_str());
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError})
        if (h && h != INVALID_HANDLE_VALUE)
            SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    QStringList line = args;
    line[0] = QString::fromStdWString(copy);
    std::wstring command = quotedCommandLine(line).toStdWString();
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, TRUE,
                                        CREATE_UNICODE_ENVIRONMENT, nullptr, nullptr, &si, &pi);
    const QString why = started ? QString() : lastErrorText();
    SetEnvironmentVariableW(kStarterVariable, nullptr);
    if (!started)
        return fail(error, why);
    CloseHandle(pi.hThread);
    Owned child{pi.hProcess};
    CloseHandle(writeEnd.h); // only the copy's end stays open: the read ends when the copy ends
    writeEnd.h = nullptr;
    int code = 0;
    DWORD got = 0;
    if (ReadFile(readEnd.h, &code, sizeof code, &got, nullptr) && got == sizeof code)
        return code;
    // Ended without a word: its own exit code says how.
    WaitForSingleObject(child.h, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(child.h, &exitCode);
    return int(exitCode);
}

void reportExitCode(int code)
{
    Starter &s = starter();
    if (!s.pipe || s.reported)
        return;
    s.reported = true;
    DWORD written = 0;
    WriteFile(s.pipe, &code, sizeof code, &written, nullptr);
    CloseHandle(s.pipe);
    WaitForSingleObject(s.process, 60000);
    CloseHandle(s.process);
    s.process = nullptr;
}

} // namespace platform
