#include "ToolkitEnvironment.h"
#include "display.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QList>
#include <QPair>
#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace ToolkitEnvironment {
namespace {

QList<QPair<QByteArray, QByteArray>> g_setAside; // name, value (null: was unset)
QtMessageHandler g_nextHandler = nullptr;
QStringList g_runtimeFoldersBefore;
bool g_noRuntimeFolder = false;

// Without XDG_RUNTIME_DIR the toolkit makes a runtime folder of its own in
// the temporary folder while it starts (it only looks for a file there).
QStringList runtimeFolders()
{
    return QDir(QDir::tempPath()).entryList({QStringLiteral("runtime-*")}, QDir::Dirs | QDir::Hidden);
}

// The built-in toolkit looks for a font folder of its own at start and says
// that it has none; the program's fonts are compiled in, so that is no news.
void dropFontFolderNote(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QFontDatabase: Cannot find font directory")))
        return;
    if (g_nextHandler)
        g_nextHandler(type, context, message);
}

// The Windows platform draws text with FreeType, as the other system does,
// rather than with the system's own renderer: the pages' glyphs, their
// hinting and thus every label's width are then the same on both. Any other
// font engine option of the entry gives way.
QByteArray withFreeTypeFonts(const QByteArray &entry)
{
    const qsizetype colon = entry.indexOf(':');
    QList<QByteArray> options;
    if (colon >= 0)
        for (const QByteArray &option : entry.mid(colon + 1).split(','))
            if (!option.trimmed().isEmpty() && !option.trimmed().startsWith("fontengine="))
                options.append(option.trimmed());
    options.append(QByteArrayLiteral("fontengine=freetype"));
    return entry.left(colon < 0 ? entry.size() : colon).trimmed() + ':' + options.join(',');
}

void setAside(const char *name)
{
    g_setAside.append({name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray()});
}

} // namespace

QByteArray builtInPlatforms(const QByteArray &requested, platform::System system)
{
    const bool windows = system == platform::System::Windows;
    const QByteArray own = windows ? QByteArrayLiteral("windows") : QByteArrayLiteral("xcb");
    QList<QByteArray> kept;
    for (const QByteArray &entry : requested.split(';')) {
        const qsizetype colon = entry.indexOf(':');
        const QByteArray name = entry.left(colon < 0 ? entry.size() : colon).trimmed();
        if (name == "offscreen")
            kept.append(entry.trimmed());
        else if (name == own)
            kept.append(windows ? withFreeTypeFonts(entry.trimmed()) : entry.trimmed());
    }
    if (kept.isEmpty())
        kept.append(windows ? withFreeTypeFonts(own) : own);
    return kept.join(';');
}

void prepare()
{
    g_noRuntimeFolder = qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR");
    if (g_noRuntimeFolder)
        g_runtimeFoldersBefore = runtimeFolders();
    setAside("QT_QPA_PLATFORM"); // the silent modes choose offscreen for themselves alone
#ifdef TVO_BUILT_IN_TOOLKIT
    for (const char *name : {"QT_QPA_PLATFORM_PLUGIN_PATH", "QT_PLUGIN_PATH"})
        setAside(name);
    // On Windows the platform is always named, for its font engine option.
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || platform::hostSystem() == platform::System::Windows)
        qputenv("QT_QPA_PLATFORM", builtInPlatforms(qgetenv("QT_QPA_PLATFORM")));
    qunsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
    qunsetenv("QT_PLUGIN_PATH");
    QCoreApplication::setLibraryPaths({}); // plug-ins: the built-in ones only
#endif
}

double layoutScale(double screenScale, const QSize &client, const QSize &frame, const QSize &workArea)
{
    if (screenScale <= 1.0 || client.isEmpty())
        return screenScale;
    const double fits = std::min(double(workArea.width() - frame.width()) / client.width(),
                                 double(workArea.height() - frame.height()) / client.height());
    if (fits >= screenScale)
        return screenScale;
    return std::max(1.0, std::floor(fits * 16) / 16);
}

void fitLayout(const QSize &client)
{
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        return;
    const platform::ScreenRoom room = platform::primaryScreenRoom();
    if (room.scale <= 1.0)
        return;
    const double scale = layoutScale(room.scale, client, {room.frameWidth, room.frameHeight},
                                     {room.workWidth, room.workHeight});
    if (scale >= room.scale)
        return;
    // The toolkit multiplies the screen's scale by this factor.
    setAside("QT_SCALE_FACTOR");
    qputenv("QT_SCALE_FACTOR", QByteArray::number(scale / room.scale, 'g', 10));
}

void dropToolkitNotes()
{
#ifdef TVO_BUILT_IN_TOOLKIT
    g_nextHandler = qInstallMessageHandler(dropFontFolderNote);
#endif
}

void restore()
{
    // The one it made goes again: nothing of the start stays behind.
    if (g_noRuntimeFolder) {
        const QDir temp(QDir::tempPath());
        for (const QString &name : runtimeFolders())
            if (!g_runtimeFoldersBefore.contains(name))
                temp.rmdir(name); // only when empty
        g_noRuntimeFolder = false;
    }
    for (const auto &[name, value] : std::as_const(g_setAside)) {
        if (value.isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
    g_setAside.clear();
}

} // namespace ToolkitEnvironment
