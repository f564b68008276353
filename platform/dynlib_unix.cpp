#include "dynlib.h"
#include "drives.h"
#include "tempfile.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace platform {
namespace {
QString g_lastError;

void *openLibrary(const QByteArray &hostPath)
{
    void *h = ::dlopen(hostPath.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char *e = ::dlerror();
        g_lastError = e ? QString::fromUtf8(e) : QString();
    }
    return h;
}

// True when the path, links followed as the loader follows them, is the file.
bool pathIsFile(const QByteArray &hostPath, const FileId &id)
{
    struct stat st;
    return ::stat(hostPath.constData(), &st) == 0 && FileId{st.st_dev, st.st_ino, true} == id;
}
// The loader hands back a library already loaded under the same name without
// opening the file again. A descriptor's name is reused once the descriptor
// is closed, and a library that could not be unloaded keeps it: then the same
// path is spelt with "./" steps that no loaded library has as its name.
QByteArray unusedSpelling(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    QByteArray spelling = path;
    for (int steps = 1; steps <= 16; ++steps) {
        void *loaded = ::dlopen(spelling.constData(), RTLD_LAZY | RTLD_NOLOAD);
        if (!loaded)
            break;
        ::dlclose(loaded);
        spelling = path.left(slash) + QByteArray("/.").repeated(steps) + path.mid(slash);
    }
    return spelling;
}
} // namespace

// The dynamic loader searches no folder of the program's own unless
// LD_LIBRARY_PATH or the program's run path says so: nothing to limit.
void restrictLibrarySearch() {}

void *loadLibrary(const QString &path)
{
    // A name without any folder part is left to the dynamic loader's search.
    const bool bare = !path.contains('\\') && !path.contains('/') && !path.contains(':');
    const QString host = bare ? path : toHostPath(path);
    if (host.isEmpty()) {
        g_lastError = QStringLiteral("no drive behind %1").arg(path);
        return nullptr;
    }
    return openLibrary(host.toUtf8());
}

void *loadWrittenLibrary(const QString &path, const TempFile &file)
{
    const QByteArray host = toHostPath(path).toUtf8();
    if (file.fd() < 0 || host.isEmpty() || host.toStdString() != file.path()) {
        g_lastError = QStringLiteral("%1 is not the file that was written").arg(path);
        return nullptr;
    }
    const auto replaced = [&] {
        g_lastError = QStringLiteral("%1 was replaced after it was written").arg(path);
        return nullptr;
    };
    if (!file.nameIsOurs())
        return replaced();
    const std::string viaDescriptor = file.descriptorPath();
    if (!viaDescriptor.empty())
        return openLibrary(unusedSpelling(QByteArray::fromStdString(viaDescriptor)));
    // No descriptor folder (/proc not mounted): load by name and make sure
    // the name referred to the written file before and after.
    if (!pathIsFile(host, file.id()))
        return replaced();
    void *h = openLibrary(host);
    if (h && !(file.nameIsOurs() && pathIsFile(host, file.id()))) {
        ::dlclose(h);
        return replaced();
    }
    return h;
}

void *librarySymbol(void *lib, const char *name) { return lib ? ::dlsym(lib, name) : nullptr; }

void freeLibrary(void *lib)
{
    if (lib)
        ::dlclose(lib);
}

QString lastLibraryError() { return g_lastError; }

} // namespace platform
