#include "ownedfiles.h"
#include "fileio.h"
#include "filehandle.h"
#include "tempfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QString systemError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// Opens the folder that holds root/rel's last component, descending one
// component at a time without following links; leaf receives that component.
// -1 with errno set on failure.
int openParent(const QString &root, const QString &rel, QByteArray &leaf)
{
    QStringList parts = rel.split('/', Qt::SkipEmptyParts);
    QString top = root;
    if (parts.isEmpty()) { // root itself: its own parent folder, then its name
        const QFileInfo fi(QDir::cleanPath(root));
        top = fi.absolutePath();
        parts = {fi.fileName()};
        if (parts.first().isEmpty()) {
            errno = EINVAL;
            return -1;
        }
    }
    int fd = ::open(platform::hostNameBytes(top).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (qsizetype i = 0; fd >= 0 && i + 1 < parts.size(); ++i) {
        if (parts[i] == QLatin1String("..")) {
            ::close(fd);
            errno = EINVAL;
            return -1;
        }
        const int next = ::openat(fd, platform::hostNameBytes(parts[i]).constData(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int err = errno;
        ::close(fd);
        errno = err;
        fd = next;
    }
    if (parts.last() == QLatin1String("..") || parts.last() == QLatin1String(".")) {
        if (fd >= 0)
            ::close(fd);
        errno = EINVAL;
        return -1;
    }
    leaf = platform::hostNameBytes(parts.last());
    return fd;
}

FileStamp stampOf(const struct stat &st)
{
    FileStamp s;
    s.kind = S_ISREG(st.st_mode)   ? FileStamp::File
             : S_ISDIR(st.st_mode) ? FileStamp::Folder
             : S_ISLNK(st.st_mode) ? FileStamp::Link
                                   : FileStamp::Other;
    s.size = st.st_size;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

} // namespace

FileStamp stampBelow(const QString &root, const QString &rel)
{
    QByteArray leaf;
    FileHandle dir(openParent(root, rel, leaf));
    if (dir.get() < 0)
        return {errno == ENOENT ? FileStamp::None : FileStamp::Other};
    struct stat st;
    if (::fstatat(dir.get(), leaf.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return {errno == ENOENT ? FileStamp::None : FileStamp::Other};
    return stampOf(st);
}

StampReader::StampReader(const QString &root) : m_root(root) {}

StampReader::~StampReader() = default;

FileStamp StampReader::stamp(const QString &rel)
{
    const QStringList parts = rel.split('/', Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.contains(QStringLiteral("..")) || parts.last() == QLatin1String("."))
        return stampBelow(m_root, rel); // the root itself, or a path refused there
    if (!m_rootOpened) {
        m_rootOpened = true;
        m_rootFd.reset(::open(platform::hostNameBytes(m_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        m_rootErrno = errno;
    }
    if (m_rootFd.get() < 0)
        return {m_rootErrno == ENOENT ? FileStamp::None : FileStamp::Other};
    // The folders this path shares with the previous one stay open.
    const qsizetype folders = parts.size() - 1;
    qsizetype kept = 0;
    while (kept < qsizetype(m_chain.size()) && kept < folders && m_chain[size_t(kept)].name == parts[kept])
        ++kept;
    m_chain.resize(size_t(kept));
    for (qsizetype i = kept; i < folders; ++i) {
        const int parent = i == 0 ? m_rootFd.get() : m_chain.back().fd.get();
        FileHandle next(::openat(parent, platform::hostNameBytes(parts[i]).constData(),
                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0)
            return {errno == ENOENT ? FileStamp::None : FileStamp::Other};
        m_chain.push_back({parts[i], std::move(next)});
    }
    const int dir = folders == 0 ? m_rootFd.get() : m_chain.back().fd.get();
    struct stat st;
    if (::fstatat(dir, platform::hostNameBytes(parts.last()).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return {errno == ENOENT ? FileStamp::None : FileStamp::Other};
    return stampOf(st);
}

RemoveStatus removeBelow(const QString &root, const QString &rel, const FileStamp &expected, QString *error)
{
    QByteArray leaf;
    FileHandle dir(openParent(root, rel, leaf));
    if (dir.get() < 0) {
        if (errno == ENOENT)
            return RemoveStatus::Missing;
        if (errno == ELOOP || errno == ENOTDIR)
            return RemoveStatus::Changed; // a link or a file where a folder was
        if (error)
            *error = systemError(errno);
        return RemoveStatus::Failed;
    }
    struct stat st;
    if (::fstatat(dir.get(), leaf.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return RemoveStatus::Missing;
        if (error)
            *error = systemError(errno);
        return RemoveStatus::Failed;
    }
    const FileStamp now = stampOf(st);
    if (!(now == expected))
        return RemoveStatus::Changed;
    const int flags = now.kind == FileStamp::Folder ? AT_REMOVEDIR : 0;
    if (::unlinkat(dir.get(), leaf.constData(), flags) == 0)
        return RemoveStatus::Removed;
    if (errno == ENOENT)
        return RemoveStatus::Missing;
    if (flags && (errno == ENOTEMPTY || errno == EEXIST))
        return RemoveStatus::NotEmpty;
    if (error)
        *error = systemError(errno);
    return RemoveStatus::Failed;
}

bool removeEntry(const QString &root, const QString &name, QString *error)
{
    QByteArray leaf;
    FileHandle dir(openParent(root, name, leaf));
    if (dir.get() >= 0 && (::unlinkat(dir.get(), leaf.constData(), 0) == 0 || errno == ENOENT))
        return true;
    if (error)
        *error = systemError(errno);
    return false;
}

bool replaceFile(const QString &hostFile, int mode, const FdWriter &write, QString *error)
{
    const QFileInfo fi(hostFile);
    QByteArray temp = platform::hostNameBytes(fi.absolutePath() + QStringLiteral("/.") + fi.fileName()
                                        + QStringLiteral(".XXXXXX"));
    FileHandle fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        if (error)
            *error = systemError(errno);
        return false;
    }
    QString why;
    bool ok = write(fd.get(), &why);
    if (ok && ::fchmod(fd.get(), mode_t(mode)) != 0) {
        why = systemError(errno);
        ok = false;
    }
    if (ok && !fd.close()) {
        why = systemError(errno);
        ok = false;
    }
    if (ok && ::rename(temp.constData(), platform::hostNameBytes(fi.absoluteFilePath()).constData()) != 0) {
        why = systemError(errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.constData());
        if (error)
            *error = why;
    }
    return ok;
}

bool replaceFile(const QString &hostFile, int mode, const QByteArray &bytes, QString *error)
{
    const int err = replaceFile(platform::hostNameBytes(hostFile).toStdString(), bytes.constData(),
                                std::size_t(bytes.size()), std::uint32_t(mode));
    if (err && error)
        *error = systemError(err);
    return err == 0;
}

QStringList missingFolders(const QString &hostPath)
{
    QStringList missing;
    QString p = QDir::cleanPath(QFileInfo(hostPath).absoluteFilePath());
    struct stat st;
    while (p.size() > 1 && ::lstat(platform::hostNameBytes(p).constData(), &st) != 0 && errno == ENOENT) {
        missing << p;
        p = QFileInfo(p).absolutePath();
    }
    return missing;
}

static void collect(NativeFile dirFd, const QString &prefix, QStringList &out, int depth)
{
    DIR *d = ::fdopendir(dirFd);
    if (!d) {
        ::close(dirFd);
        return;
    }
    while (const dirent *e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        const QString rel = prefix + platform::hostNameFromBytes(name);
        struct stat st;
        if (::fstatat(::dirfd(d), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            const int sub = ::openat(::dirfd(d), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0 && depth < 64)
                collect(sub, rel + '/', out, depth + 1);
            else if (sub >= 0)
                ::close(sub);
        } else {
            out << rel;
        }
    }
    ::closedir(d);
}

QStringList filesBelow(const QString &root)
{
    QStringList out;
    const int fd = ::open(platform::hostNameBytes(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        collect(fd, QString(), out, 0);
    out.sort();
    return out;
}

} // namespace platform
