#include "Payload.h"


#include "drives.h"
#include "log.h"
#include "resstore.h"
#include "tempfile.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <functional>

namespace {

const char kLibraryName[] = "UNRAR_DLL";

QString g_sourceOverride;

// The user's messages about the installer file: what is wrong with it and
// what helps. The store's own English text goes to the log.
QString shownInstaller() { return platform::toDrivePath(InstallerFile()); }

QString damagedText(const QString &what)
{
    return QStringLiteral("Plik instalatora jest uszkodzony:\r%1\r%2\rPobierz instalator ponownie.")
        .arg(shownInstaller(), what);
}

QString storeText(const platform::ResourceStore &store)
{
    if (store.status() == platform::ResourceStore::Unsupported)
        return QStringLiteral("Plik instalatora zawiera dane w nowszym formacie (wersja %2),\r"
                              "którego ten program nie odczytuje:\r%1\rPobierz instalator ponownie.")
            .arg(shownInstaller(), QString::number(store.version()));
    if (store.truncated())
        return QStringLiteral("Plik instalatora jest niekompletny:\r%1\r"
                              "Prawdopodobnie przerwano jego pobieranie.\rPobierz instalator ponownie.")
            .arg(shownInstaller());
    return damagedText(QStringLiteral("Spis danych instalacji jest nieczytelny."));
}

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
        throw EResourceDamaged(storeText(store));
    }
}

std::function<void(const QString &)> g_writtenHook;

// A file of the installer's own in the target folder: whatever entry had its
// name is removed first (a link itself, never what it points at), and the
// file is made new, exclusively. On every way out before finish() hands it
// on, the file is removed again.
class TargetFile {
public:
    explicit TargetFile(const QString &fileName)
    {
        const QString host = platform::toHostPath(fileName);
        const int err = host.isEmpty() ? ENOENT : m_file.create(host.toUtf8().toStdString());
        if (err) {
            qCWarning(lcSetup) << "cannot create" << host << ":" << std::strerror(err);
            throw EFCreateError(QStringLiteral("Cannot create file %1").arg(fileName));
        }
    }
    platform::NativeFile fd() const { return m_file.fd(); }
    // Hands the written file to the caller (written), still open so that it
    // is read from the descriptor, or keeps it in place, closed, when the
    // caller does not take it. Handed over, it is held only for reading: on
    // Windows neither the unrar library's reading nor the loader's mapping
    // opens a file that a handle may still write.
    void finish(platform::TempFile *written)
    {
        const int err = written ? m_file.holdForReading() : m_file.close();
        if (err) {
            qCWarning(lcSetup) << "closing a written resource failed:" << std::strerror(err);
            throw EWriteError(QStringLiteral("Stream write error"));
        }
        if (written)
            *written = std::move(m_file);
        else
            m_file.keep();
    }

private:
    platform::TempFile m_file;
};

// Raises the exception that belongs to a copy's result.
void checkCopy(platform::ResourceStore &store, const platform::StoredResource &res,
               platform::ResourceStore::CopyResult result)
{
    if (result != platform::ResourceStore::Copied)
        qCWarning(lcSetup) << "resource" << res.name.c_str() << ":" << store.errorString().c_str()
                           << store.reason().c_str();
    switch (result) {
    case platform::ResourceStore::Copied:
        return;
    case platform::ResourceStore::WriteFailed:
        throw EWriteError(QStringLiteral("Stream write error"));
    case platform::ResourceStore::ReadFailed:
        throw EReadError(QStringLiteral("Nie można odczytać danych %2 z pliku instalatora:\r%1\r"
                                        "Uruchom instalację ponownie, a jeśli błąd się powtórzy,\r"
                                        "pobierz instalator ponownie.")
                             .arg(shownInstaller(), QString::fromStdString(res.name)));
    case platform::ResourceStore::CrcMismatch:
        throw EResourceDamaged(
            damagedText(QStringLiteral("Dane %1 mają błędną sumę kontrolną.").arg(QString::fromStdString(res.name))));
    }
}

void writeResource(platform::ResourceStore &store, const platform::StoredResource &res, TargetFile &file)
{
    checkCopy(store, res, store.copyTo(res, file.fd()));
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

void WriteEmbeddedLibrary(const QString &fileName, platform::TempFile *written)
{
    platform::ResourceStore store;
    openStore(store);
    const platform::StoredResource *res = findResource(store, kLibraryName);
    if (!res)
        throw EResNotFound(QStringLiteral("W pliku instalatora brakuje danych %2:\r%1\rPobierz instalator ponownie.")
                               .arg(shownInstaller(), QLatin1String(kLibraryName)));
    TargetFile file(fileName);
    writeResource(store, *res, file);
    file.finish(written);
    if (g_writtenHook)
        g_writtenHook(fileName);
}

void WriteEmbeddedArchive(const QString &fileName, platform::TempFile *written)
{
    TargetFile file(fileName);
    platform::ResourceStore store;
    openStore(store);
    // The piece list ends at the first number without a resource; any other
    // failure goes to the caller. The next piece is read and decompressed
    // while the current one is written.
    std::vector<const platform::StoredResource *> pieces;
    for (int n = 0;; ++n) {
        const platform::StoredResource *res = findResource(store, "TVODEMO_" + std::to_string(n));
        if (!res)
            break;
        pieces.push_back(res);
    }
    std::size_t failed = 0;
    const auto result = store.copyAllTo(pieces, file.fd(), failed);
    if (result != platform::ResourceStore::Copied)
        checkCopy(store, *pieces[failed], result);
    file.finish(written);
    if (g_writtenHook)
        g_writtenHook(fileName);
}

void SetWrittenHookForTesting(std::function<void(const QString &)> hook)
{
    g_writtenHook = std::move(hook);
}

void SetPayloadSourceForTesting(const QString &hostPath) { g_sourceOverride = hostPath; }

QString InstallerFile()
{
    if (!g_sourceOverride.isEmpty())
        return g_sourceOverride;
    return QCoreApplication::applicationFilePath();
}
