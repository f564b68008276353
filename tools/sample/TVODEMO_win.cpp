// The sample installed program for Windows: it shows the command line it was
// started with and its current folder. With TVODEMO_REPORT naming a file it
// writes the same lines there (UTF-8) and ends at once, without a window (for
// tests). Plain Win32, no toolkit.
#include <windows.h>

#include <shellapi.h>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t *kTitle = L"Tavro 2010 DEMO";
constexpr const wchar_t *kClass = L"TVODEMO";
constexpr const wchar_t *kHeading = L"Program uruchomiony z parametrami:";
constexpr int kWidth = 560, kHeight = 240, kMargin = 10;

std::vector<std::wstring> g_lines;

std::wstring currentFolder()
{
    std::wstring cwd(GetCurrentDirectoryW(0, nullptr), L'\0');
    cwd.resize(GetCurrentDirectoryW(DWORD(cwd.size()), cwd.data()));
    return cwd;
}

// Every argument as the C runtime's rules split the command line, one line
// each, and the whole command line as it came.
std::vector<std::wstring> reportLines()
{
    std::vector<std::wstring> lines{L"cwd=" + currentFolder(), std::wstring(L"cmdline=") + GetCommandLineW()};
    int argc = 0;
    if (wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
        for (int i = 0; i < argc; ++i)
            lines.push_back(L"arg" + std::to_wstring(i) + L"=" + argv[i]);
        LocalFree(argv);
    }
    return lines;
}

std::string utf8(const std::wstring &text)
{
    std::string out(std::size_t(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                                     nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), int(out.size()), nullptr, nullptr);
    return out;
}

int writeReport(const wchar_t *file, const std::vector<std::wstring> &lines)
{
    const HANDLE f = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 1;
    std::string text;
    for (const std::wstring &line : lines)
        text += utf8(line) + "\n";
    DWORD written = 0;
    const bool ok = WriteFile(f, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
    return CloseHandle(f) && ok ? 0 : 1;
}

LRESULT CALLBACK windowProc(HWND w, UINT message, WPARAM wp, LPARAM lp)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(w, &ps);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICW tm;
        GetTextMetricsW(dc, &tm);
        int y = kMargin;
        for (const std::wstring &line : g_lines) {
            TextOutW(dc, kMargin, y, line.data(), int(line.size()));
            y += tm.tmHeight + 2;
        }
        EndPaint(w, &ps);
        return 0;
    }
    case WM_KEYDOWN:
        if (wp == VK_ESCAPE)
            DestroyWindow(w);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(w, message, wp, lp);
}

int showWindow(const std::vector<std::wstring> &report)
{
    g_lines = {kHeading};
    g_lines.insert(g_lines.end(), report.begin(), report.end());
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = HBRUSH(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kClass;
    RegisterClassW(&wc);
    const HWND w = CreateWindowW(kClass, kTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                 kWidth, kHeight, nullptr, nullptr, wc.hInstance, nullptr);
    if (!w)
        return 1;
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::vector<std::wstring> lines = reportLines();
    std::wstring report(GetEnvironmentVariableW(L"TVODEMO_REPORT", nullptr, 0), L'\0');
    report.resize(GetEnvironmentVariableW(L"TVODEMO_REPORT", report.data(), DWORD(report.size())));
    if (!report.empty())
        return writeReport(report.c_str(), lines);
    return showWindow(lines);
}
