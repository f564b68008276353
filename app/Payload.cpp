#include "Payload.h"

#include "drives.h"
#include "filehandle.h"
#include "log.h"
#include "resstore.h"

#include <QCoreApplication>
#include <QFile>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char kLibraryName[] = "UNRAR_DLL";

QString g_sourceOverride;

// Opens the installer's store; a file that cannot be read or whose store is
// damaged ends here with an exception.
void openStore(platform::ResourceStore &store)
{
    const QString host = InstallerFile();
    const auto status = store.open(QFile::encodeName(host).toStdString(), platform::toDrivePath(host).toStdString());
    if (status != platform::ResourceStore::Plain && status != platform::ResourceStore::Valid)
        qCWarning(lcSetup) << "resource store of" << host << ":" << store.errorString().c_str() << store.reason().c_str();
    switch (status) {
    case platform::ResourceStore::Plain:
    case platform::ResourceStore::Valid:
        return;
    case platform::ResourceStore::Unreadable:
        throw EFOpenError(QString::fromStdString(store.errorString()));
    case platform::ResourceStore::Damaged:
    case platform::ResourceStore::Unsupported:
        throw EResourceDamaged(QString::fromStdString(store.errorString()));
    }
}

// A target file, closed on every way out.
class TargetFile {
public:
    explicit TargetFile(const QString &fileName)
    {
        const QString host = platform::toHostPath(fileName);
        if (!host.isEmpty())
            m_fd.reset(::open(host.toUtf8().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (m_fd.get() < 0) {
            qCWarning(lcSetup) << "cannot create" << host << ":" << platform::lastSystemError();
            throw EFCreateError(QStringLiteral("Cannot create file %1").arg(fileName));
        }
    }
    int fd() const { return m_fd.get(); }
    void close()
    {
        if (!m_fd.close()) {
            qCWarning(lcSetup) << "closing a written resource failed:" << platform::lastSystemError();
            throw EWriteError(QStringLiteral("Stream write error"));
        }
    }

private:
    platform::FileHandle m_fd;
};

void writeResource(platform::ResourceStore &store, const platform::StoredResource &res, TargetFile &file)
{
    const auto result = store.copyTo(res, file.fd());
    if (result != platform::ResourceStore::Copied)
        qCWarning(lcSetup) << "resource" << res.name.c_str() << ":" << store.errorString().c_str()
                           << store.reason().c_str();
    switch (result) {
    case platform::ResourceStore::Copied:
        return;
    case platform::ResourceStore::WriteFailed:
        throw EWriteError(QStringLiteral("Stream write error"));
    case platform::ResourceStore::ReadFailed:
        throw EReadError(QString::fromStdString(store.errorString()));
    case platform::ResourceStore::CrcMismatch:
        throw EResourceDamaged(QString::fromStdString(store.errorString()));
    }
}

const platform::StoredResource *findResource(const platform::ResourceStore &store, const std::string &name)
{
    return store.find(platform::kRawDataResource, name);
}

} // namespace

bool HasEmbeddedLibrary()
{
    platform::ResourceStore store;
    openStore(store);
    return findResource(store, kLibraryName) != nullptr;
}

void WriteEmbeddedLibrary(const QString &fileName)
{
    platform::ResourceStore store;
    openStore(store);
    const platform::StoredResource *res = findResource(store, kLibraryName);
    if (!res)
        throw EResNotFound(QStringLiteral("Resource %1 not found").arg(QLatin1String(kLibraryName)));
    TargetFile file(fileName);
    writeResource(store, *res, file);
    file.close();
}

void WriteEmbeddedArchive(const QString &fileName)
{
    TargetFile file(fileName);
    platform::ResourceStore store;
    openStore(store);
    // The piece list ends at the first number without a resource; any other
    // failure goes to the caller.
    for (int n = 0;; ++n) {
        const platform::StoredResource *res = findResource(store, "TVODEMO_" + std::to_string(n));
        if (!res)
            break;
        writeResource(store, *res, file);
    }
    file.close();
}

void SetPayloadSourceForTesting(const QString &hostPath) { g_sourceOverride = hostPath; }

QString InstallerFile()
{
    return g_sourceOverride.isEmpty() ? QCoreApplication::applicationFilePath() : g_sourceOverride;
}
