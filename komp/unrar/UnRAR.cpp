#include "UnRAR.h"

#include "AppCore.h"
#include "drives.h"
#include "dynlib.h"
#include "tempfile.h"
#include "log.h"
#include "utf8locale.h"

#include <QDir>

#include <cstring>
#include <cwchar>
#include <memory>

namespace UnRAR {
namespace {

Binding g_binding;
bool g_cleanupRegistered = false;

constexpr unsigned ResultSuccess = 0;
constexpr int ResultEndArchive = 10;

[[noreturn]] void fail(const QString &message) { throw EUnRARError(message); }

// A call through an empty slot (a partly bound or meanwhile unloaded library)
// fails like a missing entry point instead of jumping to nowhere.
template <typename Fn> Fn bound(Fn fn, const char *name)
{
    if (!fn)
        fail(QStringLiteral("\"%1\" function not bound !").arg(QLatin1String(name)));
    return fn;
}

// The library converts names between wide and multibyte text with the
// character type of the calling thread's locale. Our side of every name is
// UTF-8 whatever the user's locale says, so each call runs with a UTF-8
// character type; otherwise names with Polish letters would be listed wrongly
// under a non-UTF-8 locale (LANG=C) and fail to extract.
template <typename Fn, typename... Args> auto callLibrary(Fn fn, const char *name, Args... args)
{
    const Fn entry = bound(fn, name);
    const platform::Utf8CharacterType utf8;
    return entry(args...);
}

QString openMessage(int result)
{
    switch (result) {
    case 11: return QStringLiteral("Not enough memory !");
    case 12: return QStringLiteral("Archive header broken !");
    case 13: return QStringLiteral("This is not RAR archive !");
    case 15: return QStringLiteral("Cannot open file !");
    default: return QStringLiteral("(OpenResult = %1)").arg(result);
    }
}

QString processMessage(int result)
{
    switch (result) {
    case 12: return QStringLiteral("File CRC error !");
    case 13: return QStringLiteral("Volume is not valid RAR archive !");
    case 14: return QStringLiteral("Unknown archive format !");
    case 15: return QStringLiteral("Volume open error !");
    case 16: return QStringLiteral("File create error !");
    case 17: return QStringLiteral("File close error !");
    case 18: return QStringLiteral("Read error !");
    case 19: return QStringLiteral("Write error !");
    default: return QStringLiteral("(PFCode = %1)").arg(result);
    }
}

// Closes an archive on every way out of the scope that opened it.
class ArchiveGuard {
public:
    explicit ArchiveGuard(void *handle) : m_handle(handle) {}
    ~ArchiveGuard()
    {
        if (g_binding.RARCloseArchive)
            g_binding.RARCloseArchive(m_handle);
    }
    ArchiveGuard(const ArchiveGuard &) = delete;
    ArchiveGuard &operator=(const ArchiveGuard &) = delete;

private:
    void *m_handle;
};

} // namespace

const Binding &binding() { return g_binding; }

QString completeLibraryPath(const QString &path)
{
    if (!platform::fileNamePart(path).isEmpty())
        return path;
    QString completed = path;
    if (!completed.isEmpty() && !completed.endsWith('\\'))
        completed += '\\';
    return completed + QStringLiteral("UNRAR.DLL");
}

QString headerFileName(const RARHeaderData &header)
{
    // The library's own multibyte encoding, which is UTF-8 here; a name that
    // fills the whole field has no terminator.
    return QString::fromLocal8Bit(header.FileName, qsizetype(strnlen(header.FileName, sizeof header.FileName)));
}

} // namespace UnRAR

using namespace UnRAR;

namespace {

// Unloads, loads with the loader given, binds the four entry points.
template <typename Loader> void loadAndBind(const QString &path, Loader load)
{
    UnloadUnrarLibrary();
    if (!g_cleanupRegistered) {
        g_cleanupRegistered = true;
        App::addCleanup(UnloadUnrarLibrary);
    }
    const QString libPath = completeLibraryPath(path);
    void *lib = load(libPath);
    if (!lib) {
        qCWarning(lcSetup) << "cannot load" << libPath << ":" << platform::lastLibraryError();
        fail(QStringLiteral("Can't load DLL: %1 !").arg(libPath));
    }
    g_binding.library = lib;
    auto bind = [&](auto &slot, const char *name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(platform::librarySymbol(lib, name));
        if (!slot) {
            qCWarning(lcSetup) << "no entry point" << name << "in" << libPath;
            fail(QStringLiteral("Error loading %1: \r\"%2\" function not found !").arg(libPath, QLatin1String(name)));
        }
    };
    bind(g_binding.RAROpenArchive, "RAROpenArchive");
    bind(g_binding.RARCloseArchive, "RARCloseArchive");
    bind(g_binding.RARReadHeader, "RARReadHeader");
    bind(g_binding.RARProcessFile, "RARProcessFile");
    if constexpr (sizeof(wchar_t) == 2) {
        const auto optional = [&](auto &slot, const char *name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(platform::librarySymbol(lib, name));
        };
        optional(g_binding.RAROpenArchiveEx, "RAROpenArchiveEx");
        optional(g_binding.RARReadHeaderEx, "RARReadHeaderEx");
        optional(g_binding.RARProcessFileW, "RARProcessFileW");
        if (!g_binding.wide())
            g_binding.RAROpenArchiveEx = nullptr, g_binding.RARReadHeaderEx = nullptr, g_binding.RARProcessFileW = nullptr;
    }
}

} // namespace

void LoadUnrarLibrary(const QString &path)
{
    loadAndBind(path, [](const QString &libPath) { return platform::loadLibrary(libPath); });
}

void LoadUnrarLibrary(const QString &path, const platform::TempFile &written)
{
    loadAndBind(path, [&](const QString &libPath) { return platform::loadWrittenLibrary(libPath, written); });
}

void UnloadUnrarLibrary()
{
    if (!g_binding.library)
        return;
    platform::freeLibrary(g_binding.library);
    g_binding = Binding();
}

void EnsureUnrarLibrary()
{
    if (!g_binding.library)
        LoadUnrarLibrary(QString());
}

namespace {

// The library's text of a host path: wide where the wide entries are bound,
// else UTF-8.
std::wstring wideText(const QString &s) { return QDir::toNativeSeparators(s).toStdWString(); }

void *openArchiveHost(const QString &hostPath, unsigned openMode)
{
    unsigned result = 0;
    void *handle = nullptr;
    if (g_binding.wide()) {
        std::wstring name = wideText(hostPath);
        RAROpenArchiveDataEx data;
        std::memset(&data, 0, sizeof data);
        data.ArcNameW = name.data();
        data.OpenMode = openMode;
        handle = callLibrary(g_binding.RAROpenArchiveEx, "RAROpenArchiveEx", &data);
        result = data.OpenResult;
    } else {
        QByteArray name = hostPath.toUtf8();
        RAROpenArchiveData data;
        std::memset(&data, 0, sizeof data);
        data.ArcName = name.data();
        data.OpenMode = openMode;
        handle = callLibrary(g_binding.RAROpenArchive, "RAROpenArchive", &data);
        result = data.OpenResult;
    }
    if (result != ResultSuccess || !handle)
        fail(openMessage(int(result)));
    return handle;
}

} // namespace

void *OpenArchive(const QString &archiveName, unsigned openMode)
{
    return openArchiveHost(platform::toHostPath(archiveName), openMode);
}

bool ReadNextHeader(void *handle, RARHeaderData &header, QString *name)
{
    header.CmtBuf = nullptr;
    header.CmtBufSize = 0;
    int result = 0;
    if (g_binding.wide()) {
        // Some 10 KB: on the heap, not the stack of every caller.
        const auto ex = std::make_unique<RARHeaderDataEx>();
        std::memset(ex.get(), 0, sizeof *ex);
        result = callLibrary(g_binding.RARReadHeaderEx, "RARReadHeaderEx", handle, ex.get());
        if (result == 0) {
            // A name that fills the whole field has no terminator.
            const QString wide =
                QString::fromWCharArray(ex->FileNameW, qsizetype(wcsnlen(ex->FileNameW, std::size(ex->FileNameW))));
            QByteArray utf8 = wide.toUtf8().left(qsizetype(sizeof header.FileName) - 1);
            std::memset(header.FileName, 0, sizeof header.FileName);
            std::memcpy(header.FileName, utf8.constData(), size_t(utf8.size()));
            header.Flags = ex->Flags;
            header.PackSize = ex->PackSize;
            header.UnpSize = ex->UnpSize;
            header.HostOS = ex->HostOS;
            header.FileCRC = ex->FileCRC;
            header.FileTime = ex->FileTime;
            header.UnpVer = ex->UnpVer;
            header.Method = ex->Method;
            header.FileAttr = ex->FileAttr;
            if (name)
                *name = wide;
        }
    } else {
        result = callLibrary(g_binding.RARReadHeader, "RARReadHeader", handle, &header);
        if (result == 0 && name)
            *name = headerFileName(header);
    }
    switch (result) {
    case 0: return true;
    case ResultEndArchive: return false;
    case 12: fail(QStringLiteral("File header broken !"));
    default: fail(QStringLiteral("(RHCode = %1)").arg(result));
    }
}

namespace {

// The folder and name as the library gets them: host paths in UTF-8 (or
// wide), a null pointer for a null text.
struct HostDestination {
    QByteArray folder, name;
    std::wstring wideFolder, wideName;
    bool hasFolder = false, hasName = false;

    HostDestination(const QString &destFolder, const QString &destName)
        : hasFolder(!destFolder.isNull()), hasName(!destName.isNull())
    {
        const QString hostFolder = hasFolder ? platform::toHostPath(destFolder) : QString();
        const QString hostName = hasName ? platform::toHostPath(destName) : QString();
        if (g_binding.wide()) {
            wideFolder = wideText(hostFolder);
            wideName = wideText(hostName);
        } else {
            folder = hostFolder.toUtf8();
            name = hostName.toUtf8();
        }
    }
    bool folderEmpty() const { return g_binding.wide() ? wideFolder.empty() : folder.isEmpty(); }
};

void processHost(void *handle, int operation, HostDestination &dest)
{
    // A folder on no drive must not turn into the current folder.
    if (dest.hasFolder && dest.folderEmpty() && operation != OpSkip)
        fail(processMessage(16));
    const int result = g_binding.wide()
        ? callLibrary(g_binding.RARProcessFileW, "RARProcessFileW", handle, operation,
                      dest.hasFolder ? dest.wideFolder.data() : nullptr, dest.hasName ? dest.wideName.data() : nullptr)
        : callLibrary(g_binding.RARProcessFile, "RARProcessFile", handle, operation,
                      dest.hasFolder ? dest.folder.data() : nullptr, dest.hasName ? dest.name.data() : nullptr);
    if (result != 0)
        fail(processMessage(result));
}

} // namespace

void ProcessCurrentFile(void *handle, int operation, const QString &destFolder, const QString &destName)
{
    HostDestination dest(destFolder, destName);
    processHost(handle, operation, dest);
}

TUnRAR::TUnRAR(QObject *owner) : QObject(owner) {}

void TUnRAR::setArchiveFile(const QString &value)
{
    if (value == m_archiveFile)
        return;
    m_archiveFile = value;
    m_written = nullptr;
    m_files.clear();
}

void *TUnRAR::openArchive(unsigned openMode) const
{
    if (!m_written)
        return OpenArchive(m_archiveFile, openMode);
    const std::string viaDescriptor = m_written->descriptorPath();
    if (!viaDescriptor.empty())
        return openArchiveHost(QString::fromUtf8(viaDescriptor.data(), qsizetype(viaDescriptor.size())), openMode);
    // No path to the open file: the name, while it is still the file written.
    if (!m_written->nameIsOurs())
        fail(openMessage(15));
    return OpenArchive(m_archiveFile, openMode);
}

void TUnRAR::ListFiles()
{
    EnsureUnrarLibrary();
    m_files.clear();
    void *h = openArchive(OmList);
    ArchiveGuard guard(h);
    RARHeaderData header;
    std::memset(&header, 0, sizeof header);
    QString name;
    while (ReadNextHeader(h, header, &name)) {
        m_files.append({name, header.UnpSize});
        ProcessCurrentFile(h, OpSkip, QString(), QString());
    }
}

void TUnRAR::ExtractTo(const QString &folder)
{
    EnsureUnrarLibrary();
    void *h = openArchive(OmExtract);
    ArchiveGuard guard(h);
    // The folder is the same for every entry: its host path is made once.
    HostDestination dest(folder, QString());
    RARHeaderData header;
    std::memset(&header, 0, sizeof header);
    QString name;
    while (ReadNextHeader(h, header, &name)) {
        bool skipThisFile = false;
        if (OnExtractFile)
            OnExtractFile(this, name, skipThisFile);
        processHost(h, skipThisFile ? OpSkip : OpExtract, dest);
    }
}
