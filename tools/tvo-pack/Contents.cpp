// tvo-pack --list and --unpack: what an installer carries.
#include "TvoPack.h"

#include "filehandle.h"
#include "resstore.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace tvopack {
namespace {

// Opens an installer's store; a file without one, or a damaged one, fails.
void openStore(platform::ResourceStore &store, const QString &path)
{
    switch (store.open(QFile::encodeName(path).toStdString(), path.toStdString())) {
    case platform::ResourceStore::Valid:
        return;
    case platform::ResourceStore::Plain:
        throw Failure(QStringLiteral("%1 carries no resources").arg(path));
    case platform::ResourceStore::Unreadable:
        throw Failure(QStringLiteral("cannot read %1: %2").arg(path, QString::fromStdString(store.reason())));
    case platform::ResourceStore::Damaged:
    case platform::ResourceStore::Unsupported:
        throw Failure(QString::fromStdString(store.errorString()));
    }
}

// A resource name becomes a file name inside DIR: it must not reach outside.
bool safeFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains('/')
        && !name.contains(QChar(0));
}

} // namespace

int list(const QString &path)
{
    platform::ResourceStore store;
    openStore(store, path);
    std::printf("%-16s %4s %-6s %12s %12s %8s\n", "resource", "type", "method", "stored", "size", "crc32");
    for (const platform::StoredResource &r : store.resources())
        std::printf("%-16s %4u %-6s %12llu %12llu %08x\n", r.name.c_str(), r.type,
                    r.method == platform::StoreMethod::Zstd ? "zstd" : "stored", static_cast<unsigned long long>(r.size),
                    static_cast<unsigned long long>(r.originalSize), r.crc);
    return 0;
}

int unpack(const QString &path, const QString &dir)
{
    platform::ResourceStore store;
    openStore(store, path);
    if (!QDir().mkpath(dir))
        throw Failure(QStringLiteral("cannot create folder %1").arg(dir));
    for (const platform::StoredResource &r : store.resources()) {
        const QString name = QString::fromStdString(r.name);
        if (!safeFileName(name))
            throw Failure(QStringLiteral("%1: refusing the unsafe resource name \"%2\"").arg(path, name));
        const QString target = QDir(dir).filePath(name);
        platform::FileHandle out(::open(QFile::encodeName(target).constData(),
                                        O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (out.get() < 0)
            throw Failure(QStringLiteral("cannot create %1: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno))));
        if (store.copyTo(r, out.get()) != platform::ResourceStore::Copied) {
            QFile::remove(target);
            throw Failure(QStringLiteral("%1: %2").arg(target, QString::fromStdString(store.errorString())));
        }
        if (!out.close())
            throw Failure(QStringLiteral("cannot write %1: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno))));
        std::printf("%s\n", QFile::encodeName(target).constData());
    }
    return 0;
}

} // namespace tvopack
