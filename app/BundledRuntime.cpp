#include "BundledRuntime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QList>
#include <QPair>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include "filehandle.h"
#include "resstore.h"

namespace BundledRuntime {
namespace {

QString g_setupFile;
QString g_runtime;
QList<QPair<QByteArray, QByteArray>> g_setAside; // name, value ("" = was unset)

const char *const kPluginVariables[] = {"QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "QT_QPA_PLATFORM"};

} // namespace

void prepare()
{
    if (qEnvironmentVariableIsSet("TVO_SETUP_FILE")) {
        g_setupFile = qEnvironmentVariable("TVO_SETUP_FILE");
        qunsetenv("TVO_SETUP_FILE");
    }
    // The application object does not exist yet: the program's folder comes
    // from the kernel's link to the running file.
    const QString folder = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    if (g_setupFile.isEmpty() || !QFileInfo(folder + QStringLiteral("/plugins/platforms")).isDir())
        return;
    g_runtime = folder;
    QCoreApplication::setLibraryPaths({folder + QStringLiteral("/plugins")});
    for (const char *name : kPluginVariables) {
        g_setAside.append({name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray()});
        qunsetenv(name);
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
}

void finishStartup()
{
    for (const auto &[name, value] : std::as_const(g_setAside)) {
        if (value.isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
    g_setAside.clear();
    // Fonts need the graphical application; the uninstaller's --yes runs without.
    if (g_runtime.isEmpty() || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    const QDir fonts(g_runtime + QStringLiteral("/fonts"));
    for (const QString &name : fonts.entryList({QStringLiteral("*.ttf")}, QDir::Files, QDir::Name))
        QFontDatabase::addApplicationFont(fonts.filePath(name));
}

QString setupFile() { return g_setupFile; }

bool writeWithoutPayload(int fd, QString *why)
{
    const std::string path = QFile::encodeName(g_setupFile).toStdString();
    platform::ResourceStore store;
    const platform::StoredResource *runtime = nullptr;
    if (store.open(path) == platform::ResourceStore::Valid)
        runtime = store.find(platform::kRawDataResource, platform::kRuntimeResource);
    if (!runtime) {
        *why = store.status() == platform::ResourceStore::Valid ? QStringLiteral("%1 carries no runtime").arg(g_setupFile)
                                                                 : QString::fromStdString(store.errorString());
        return false;
    }
    platform::FileHandle in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0 || platform::copyRange(in.get(), 0, runtime->offset, fd) != platform::CopyStatus::Ok) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    platform::ResourceStoreWriter w(fd);
    if (!w.addStoredCopy(*runtime, in.get()) || !w.finish()) {
        *why = QString::fromStdString(w.errorString());
        return false;
    }
    return true;
}

QString runtimeFolder() { return g_runtime; }

} // namespace BundledRuntime
