#include "ToolkitEnvironment.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QPair>
#include <QtGlobal>

namespace ToolkitEnvironment {
namespace {

QList<QPair<QByteArray, QByteArray>> g_setAside; // name, value (null: was unset)
QtMessageHandler g_nextHandler = nullptr;

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
    setAside("QT_QPA_PLATFORM"); // the silent modes choose offscreen for themselves alone
#ifdef TVO_BUILT_IN_TOOLKIT
    for (const char *name : {"QT_QPA_PLATFORM_PLUGIN_PATH", "QT_PLUGIN_PATH"})
        setAside(name);
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", builtInPlatforms(qgetenv("QT_QPA_PLATFORM")));
    qunsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
    qunsetenv("QT_PLUGIN_PATH");
    QCoreApplication::setLibraryPaths({}); // plug-ins: the built-in ones only
    g_nextHandler = qInstallMessageHandler(dropFontFolderNote);
#endif
}

void restore()
{
    for (const auto &[name, value] : std::as_const(g_setAside)) {
        if (value.isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
    g_setAside.clear();
}

} // namespace ToolkitEnvironment
