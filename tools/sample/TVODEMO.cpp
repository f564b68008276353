// The sample installed program: it shows the command line it was started with
// and its current folder. With TVODEMO_REPORT naming a file it writes the
// same lines there and ends at once, without a window (for tests).
//
// It draws with Xlib alone, so that it starts on any desktop with X11 or
// XWayland, whatever toolkit the system has.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char *kTitle = "Tavro 2010 DEMO";
constexpr const char *kClass = "TVODEMO";
constexpr const char *kHeading = "Program uruchomiony z parametrami:";
constexpr unsigned kWidth = 560, kHeight = 240, kMargin = 10;

std::string currentFolder()
{
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    return cwd ? cwd.get() : "";
}

// The bytes of every argument as they came, one line each.
std::vector<std::string> reportLines(int argc, char *argv[])
{
    std::vector<std::string> lines{"cwd=" + currentFolder()};
    for (int i = 0; i < argc; ++i)
        lines.push_back("arg" + std::to_string(i) + "=" + argv[i]);
    return lines;
}

int writeReport(const char *file, const std::vector<std::string> &lines)
{
    std::FILE *f = std::fopen(file, "wb");
    if (!f)
        return 1;
    bool ok = true;
    for (const std::string &line : lines)
        ok = ok && std::fputs(line.c_str(), f) >= 0 && std::fputc('\n', f) != EOF;
    return std::fclose(f) == 0 && ok ? 0 : 1;
}

// The code points of UTF-8 text; a byte that starts no valid sequence
// stands for itself as U+FFFD.
std::u32string decodeUtf8(const std::string &text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = [&](std::size_t k) { return k < text.size() ? unsigned(std::uint8_t(text[k])) : 0u; };
        const unsigned b0 = byte(i);
        const int length = b0 < 0x80 ? 1 : (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
        char32_t c = length == 1 ? b0 : length == 2 ? b0 & 0x1F : length == 3 ? b0 & 0x0F : b0 & 0x07;
        bool valid = length > 0;
        for (int k = 1; valid && k < length; ++k) {
            valid = (byte(i + k) & 0xC0) == 0x80;
            c = c << 6 | (byte(i + k) & 0x3F);
        }
        constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && c >= kLeast[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
        out.push_back(valid ? c : U'\uFFFD');
        i += valid ? std::size_t(length) : 1;
    }
    return out;
}

// Draws lines of UTF-8 text with a core font of the server: a Unicode one
// where the server has it, else its default font, which shows the first 256
// code points and a question mark for the rest.
class Painter {
public:
    Painter(Display *d, Window w) : m_display(d), m_window(w), m_gc(XCreateGC(d, w, 0, nullptr))
    {
        for (const char *name : {"-misc-fixed-medium-r-normal--13-*-*-*-*-*-iso10646-1",
                                 "-*-*-medium-r-normal--*-*-*-*-*-*-iso10646-1"})
            if ((m_font = XLoadQueryFont(d, name))) {
                m_unicode = true;
                break;
            }
        if (!m_font)
            m_font = XLoadQueryFont(d, "fixed");
        if (m_font)
            XSetFont(d, m_gc, m_font->fid);
        XSetForeground(d, m_gc, BlackPixel(d, DefaultScreen(d)));
    }
    ~Painter()
    {
        if (m_font)
            XFreeFont(m_display, m_font);
        XFreeGC(m_display, m_gc);
    }
    Painter(const Painter &) = delete;
    Painter &operator=(const Painter &) = delete;

    void paint(const std::vector<std::string> &lines)
    {
        const int ascent = m_font ? m_font->ascent : 11, lineHeight = m_font ? m_font->ascent + m_font->descent : 14;
        XClearWindow(m_display, m_window);
        int y = int(kMargin) + ascent;
        for (const std::string &line : lines) {
            std::vector<XChar2b> glyphs;
            for (char32_t c : decodeUtf8(line)) {
                if (c > (m_unicode ? 0xFFFF : 0xFF))
                    c = U'?';
                glyphs.push_back({static_cast<unsigned char>(c >> 8), static_cast<unsigned char>(c & 0xFF)});
            }
            XDrawString16(m_display, m_window, m_gc, kMargin, y, glyphs.data(), int(glyphs.size()));
            y += lineHeight + 2;
        }
    }

private:
    Display *m_display;
    Window m_window;
    GC m_gc;
    XFontStruct *m_font = nullptr;
    bool m_unicode = false;
};

void setTitleAndClass(Display *d, Window w)
{
    XStoreName(d, w, kTitle);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(kTitle), int(std::char_traits<char>::length(kTitle)));
    XClassHint hint{const_cast<char *>(kClass), const_cast<char *>(kClass)};
    XSetClassHint(d, w, &hint);
}

int showWindow(const std::vector<std::string> &report)
{
    Display *d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "TVODEMO.EXE: cannot open the display\n");
        return 1;
    }
    const int screen = DefaultScreen(d);
    const Window w = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, kWidth, kHeight, 0,
                                         BlackPixel(d, screen), WhitePixel(d, screen));
    setTitleAndClass(d, w);
    Atom deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, w, &deleteWindow, 1);
    XSelectInput(d, w, ExposureMask | KeyPressMask | StructureNotifyMask);
    XMapWindow(d, w);

    std::vector<std::string> lines{kHeading};
    lines.insert(lines.end(), report.begin(), report.end());
    {
        Painter painter(d, w);
        for (bool running = true; running;) {
            XEvent e;
            XNextEvent(d, &e);
            switch (e.type) {
            case Expose:
                if (e.xexpose.count == 0)
                    painter.paint(lines);
                break;
            case KeyPress:
                running = XLookupKeysym(&e.xkey, 0) != XK_Escape;
                break;
            case ClientMessage:
                running = Atom(e.xclient.data.l[0]) != deleteWindow;
                break;
            case DestroyNotify:
                running = false;
                break;
            }
        }
    }
    XCloseDisplay(d);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const std::vector<std::string> lines = reportLines(argc, argv);
    if (const char *report = std::getenv("TVODEMO_REPORT"); report && *report)
        return writeReport(report, lines);
    return showWindow(lines);
}
