#include "ToolkitEnvironment.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QList>
#include <QPair>
#include <QtGlobal>

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

void setAside(const char *name)
{
    g_setAside.append({name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray()});
}

} // namespace

QByteArray builtInPlatforms(const QByteArray &requested)
{
    QList<QByteArray> kept;
    for (const QByteArray &entry : requested.split(';')) {
        const QByteArray name = entry.left(entry.indexOf(':') < 0 ? entry.size() : entry.indexOf(':')).trimmed();
        if (name == "xcb" || name == "offscreen")
            kept.append(entry.trimmed());
    }
    return kept.isEmpty() ? QByteArrayLiteral("xcb") : kept.join(';');
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
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", builtInPlatforms(qgetenv("QT_QPA_PLATFORM")));
    qunsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
    qunsetenv("QT_PLUGIN_PATH");
    QCoreApplication::setLibraryPaths({}); // plug-ins: the built-in ones only
#endif
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
