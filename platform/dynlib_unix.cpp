#include "dynlib.h"
#include "drives.h"

#include <dlfcn.h>

namespace platform {
namespace {
QString g_lastError;
}

void *loadLibrary(const QString &path)
{
    // A name without any folder part is left to the dynamic loader's search.
    const bool bare = !path.contains('\\') && !path.contains('/') && !path.contains(':');
    const QString host = bare ? path : toHostPath(path);
    if (host.isEmpty()) {
        g_lastError = QStringLiteral("no drive behind %1").arg(path);
        return nullptr;
    }
    void *h = ::dlopen(host.toUtf8().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char *e = ::dlerror();
        g_lastError = e ? QString::fromUtf8(e) : QString();
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
