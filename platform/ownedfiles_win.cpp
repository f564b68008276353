// Files the program makes and removes again, on Windows. Below the given
// root no reparse point is followed (junctions and symbolic links alike):
// each folder on the way is opened as itself, checked, and held without
// delete sharing until the step is done, so that none of them can be renamed
// or swapped for a link meanwhile. What is looked at and what is removed is
// one open handle of the entry itself.
#include "ownedfiles.h"
#include "fileio.h"
#include "tempfile.h"
#include "winerror_win.h"
#include "winfs_win.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

constexpr DWORD kRemoveAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

// The system's own text when the error came from it, the C library's else.
QString systemError(int err)
{
    const unsigned long code = win::keptSystemError();
    if (code && win::errnoOf(code) == err)
        return QString::fromStdWString(win::systemErrorText(code));
    if (err == ELOOP) // not in the C runtime's table here
        return QStringLiteral("Too many levels of symbolic links");
    const QString text = QString::fromLocal8Bit(std::strerror(err));
    return text.isEmpty() ? QStringLiteral("error %1").arg(err) : text;
}

std::wstring under(const std::wstring &folder, const QString &name) { return win::joinPath(folder, name.toStdWString()); }

FileHandle holdFolder(const std::wstring &path, bool followLinks)
{
    return FileHandle(win::holdFolder(path, followLinks));
}

// The folders from root down to the one that holds root/rel's last name,
// held; path receives the entry's own path. 0 or an errno value.
int holdParents(const QString &root, const QString &rel, std::vector<FileHandle> &held, std::wstring &path)
{
    QStringList parts = rel.split('/', Qt::SkipEmptyParts);
    QString top = root;
    if (parts.isEmpty()) { // root itself: its own parent folder, then its name
        const QFileInfo fi(QDir::cleanPath(root));
        top = fi.absolutePath();
        parts = {fi.fileName()};
        if (parts.first().isEmpty())
            return EINVAL;
    }
    if (parts.contains(QStringLiteral("..")) || parts.last() == QLatin1String("."))
        return EINVAL;
    path = QDir::toNativeSeparators(top).toStdWString();
    held.push_back(holdFolder(path, true)); // the root as it is reached
    if (!held.back().isOpen())
        return errno;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        path = under(path, parts[i]);
        held.push_back(holdFolder(path, false));
        if (!held.back().isOpen())
            return errno;
    }
    path = win::longPath(under(path, parts.last()));
    return 0;
}

FileStamp stampOf(const win::EntryInfo &i)
{
    FileStamp s;
    s.kind = win::isLink(i.attributes)                   ? FileStamp::Link
        : (i.attributes & FILE_ATTRIBUTE_DIRECTORY) ? FileStamp::Folder
                                                     : FileStamp::File;
    s.size = i.size;
    s.mtimeNs = win::unixNsOf(i.lastWrite);
    return s;
}

// The stamp of the entry at path itself.
FileStamp stampAt(const std::wstring &path)
{
    FileHandle e(win::openEntry(path, FILE_READ_ATTRIBUTES, false));
    win::EntryInfo info;
    if (!e.isOpen() || !win::entryInfoOf(e.get(), info))
        return {errno == ENOENT ? FileStamp::None : FileStamp::Other};
    return stampOf(info);
}

} // namespace

FileStamp stampBelow(const QString &root, const QString &rel)
{
    std::vector<FileHandle> held;
    std::wstring path;
    if (const int err = holdParents(root, rel, held, path))
        return {err == ENOENT ? FileStamp::None : FileStamp::Other};
    return stampAt(path);
}

StampReader::StampReader(const QString &root) : m_root(root) {}

StampReader::~StampReader() = default;

FileStamp StampReader::stamp(const QString &rel)
{
    const QStringList parts = rel.split('/', Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.contains(QStringLiteral("..")) || parts.last() == QLatin1String("."))
        return stampBelow(m_root, rel); // the root itself, or a path refused there
    const std::wstring root = QDir::toNativeSeparators(m_root).toStdWString();
    if (!m_rootOpened) {
        m_rootOpened = true;
        m_rootFd = holdFolder(root, true);
        m_rootErrno = errno;
    }
    if (!m_rootFd.isOpen())
        return {m_rootErrno == ENOENT ? FileStamp::None : FileStamp::Other};
    // The folders this path shares with the previous one stay held.
    const qsizetype folders = parts.size() - 1;
    qsizetype kept = 0;
    while (kept < qsizetype(m_chain.size()) && kept < folders && m_chain[size_t(kept)].name == parts[kept])
        ++kept;
    m_chain.resize(size_t(kept));
    std::wstring path = root;
    for (qsizetype i = 0; i < folders; ++i) {
        path = under(path, parts[i]);
        if (i < kept)
            continue;
        FileHandle next = holdFolder(path, false);
        if (!next.isOpen())
            return {errno == ENOENT ? FileStamp::None : FileStamp::Other};
        m_chain.push_back({parts[i], std::move(next)});
    }
    return stampAt(win::longPath(under(path, parts.last())));
}

RemoveStatus removeBelow(const QString &root, const QString &rel, const FileStamp &expected, QString *error)
{
    std::vector<FileHandle> held;
    std::wstring path;
    int err = holdParents(root, rel, held, path);
    FileHandle e(err ? kNoFile : win::openEntry(path, kRemoveAccess, false));
    win::EntryInfo info;
    if (!err && (!e.isOpen() || !win::entryInfoOf(e.get(), info)))
        err = errno;
    if (err == ENOENT)
        return RemoveStatus::Missing;
    if (err == ELOOP || err == ENOTDIR)
        return RemoveStatus::Changed; // a link or a file where a folder was
    if (!err && !(stampOf(info) == expected))
        return RemoveStatus::Changed;
    if (!err)
        err = win::removeThrough(e.get(), stampOf(info).kind == FileStamp::Folder);
    if (!err)
        return RemoveStatus::Removed;
    if (err == ENOTEMPTY)
        return RemoveStatus::NotEmpty;
    if (error)
        *error = systemError(err);
    return RemoveStatus::Failed;
}

bool removeEntry(const QString &root, const QString &name, QString *error)
{
    std::vector<FileHandle> held;
    std::wstring path;
    int err = holdParents(root, name, held, path);
    FileHandle e(err ? kNoFile : win::openEntry(path, kRemoveAccess, false));
    if (!err)
        err = e.isOpen() ? win::removeThrough(e.get(), false) : errno;
    if (err == 0 || err == ENOENT)
        return true;
    if (error)
        *error = systemError(err);
    return false;
}

bool replaceFile(const QString &hostFile, int mode, const FdWriter &write, QString *error)
{
    QString why;
    bool writeFailed = false;
    const std::wstring path = QDir::toNativeSeparators(QFileInfo(hostFile).absoluteFilePath()).toStdWString();
    const int err = win::replaceThroughNewFile(path, !(mode & 0200), [&](NativeFile f) {
        writeFailed = !write(f, &why);
        return writeFailed ? EIO : 0;
    });
    if (err && error)
        *error = writeFailed ? why : systemError(err);
    return err == 0;
}

bool replaceFile(const QString &hostFile, int mode, const QByteArray &bytes, QString *error)
{
    const int err = replaceFile(hostNameBytes(QDir::toNativeSeparators(hostFile)).toStdString(), bytes.constData(),
                                std::size_t(bytes.size()), std::uint32_t(mode));
    if (err && error)
        *error = systemError(err);
    return err == 0;
}

QStringList missingFolders(const QString &hostPath)
{
    QStringList missing;
    QString p = QDir::cleanPath(QFileInfo(hostPath).absoluteFilePath());
    for (;;) {
        const QString up = QFileInfo(p).absolutePath();
        if (up == p) // a drive's root is never made
            break;
        const DWORD attrs = GetFileAttributesW(win::longPath(QDir::toNativeSeparators(p).toStdWString()).c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES) {
            if (!(attrs & FILE_ATTRIBUTE_DIRECTORY))
                missing.clear(); // below a file no folder can be made
            break;
        }
        const DWORD err = GetLastError();
        if (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND)
            break;
        missing << QDir::toNativeSeparators(p);
        p = up;
    }
    return missing;
}

namespace {

void collect(const std::wstring &folder, const QString &prefix, QStringList &out, int depth)
{
    WIN32_FIND_DATAW found;
    const HANDLE f = FindFirstFileExW(win::longPath(win::joinPath(folder, L"*")).c_str(), FindExInfoBasic, &found,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (f == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const QString rel = prefix + QString::fromStdWString(name);
        const DWORD attrs = found.dwFileAttributes;
        if ((attrs & FILE_ATTRIBUTE_DIRECTORY) && !win::isLink(attrs)) {
            if (depth < 64)
                collect(win::joinPath(folder, name), rel + '/', out, depth + 1);
        } else {
            out << rel; // a file, or a link of either kind
        }
    } while (FindNextFileW(f, &found));
    FindClose(f);
}

} // namespace

QStringList filesBelow(const QString &root)
{
    QStringList out;
    if (!root.isEmpty())
        collect(QDir::toNativeSeparators(root).toStdWString(), QString(), out, 0);
    out.sort();
    return out;
}

} // namespace platform
