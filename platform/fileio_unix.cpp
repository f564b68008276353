#include "fileio.h"
#include "files.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// ---- status -------------------------------------------------------------------

namespace {

FileStatus fromStat(const struct stat &st)
{
    FileStatus s;
    s.attrs = 0;
    if (S_ISDIR(st.st_mode))
        s.attrs |= faDirectory;
    else if (S_ISREG(st.st_mode))
        s.attrs |= faArchive;
    if (!(st.st_mode & S_IWUSR))
        s.attrs |= faReadOnly;
    s.size = st.st_size;
    s.mtimeSec = st.st_mtim.tv_sec;
    s.mtimeNsec = std::int32_t(st.st_mtim.tv_nsec);
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.mode = st.st_mode & 07777;
    return s;
}

// A name that starts with a dot is hidden ("." and ".." are not names).
bool hiddenName(const char *name, std::size_t len)
{
    return len > 0 && name[0] == '.' && !(len == 1 || (len == 2 && name[1] == '.'));
}

} // namespace

FileStatus hostStatus(const QString &hostPath)
{
    struct stat st {};
    const QByteArray host = hostNameBytes(hostPath);
    if (host.isEmpty() || ::stat(host.constData(), &st) != 0)
        return {};
    FileStatus s = fromStat(st);
    const qsizetype slash = host.lastIndexOf('/');
    const char *name = host.constData() + slash + 1;
    if (hiddenName(name, std::size_t(host.size() - slash - 1)))
        s.attrs |= faHidden;
    return s;
}

bool canEnter(const QString &hostPath)
{
    const QByteArray host = hostNameBytes(hostPath);
    return !host.isEmpty() && ::access(host.constData(), X_OK) == 0;
}

FileStatus descriptorStatus(NativeFile fd)
{
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return {};
    return fromStat(st);
}

// ---- opening --------------------------------------------------------------------

namespace {

int openRetrying(const QString &hostPath, int flags, mode_t mode = 0)
{
    const QByteArray host = hostNameBytes(hostPath);
    if (host.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    int fd;
    do
        fd = ::open(host.constData(), flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

FileHandle openForReading(const QString &hostPath) { return FileHandle(openRetrying(hostPath, O_RDONLY)); }

FileHandle createFile(const QString &hostPath)
{
    return FileHandle(openRetrying(hostPath, O_RDWR | O_CREAT | O_TRUNC, 0666));
}

FileHandle createNewFile(const QString &hostPath)
{
    return FileHandle(openRetrying(hostPath, O_RDWR | O_CREAT | O_EXCL, 0666));
}

bool makeFolder(const QString &hostPath)
{
    const QByteArray host = hostNameBytes(hostPath);
    if (host.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    return ::mkdir(host.constData(), 0777) == 0;
}

void carryExecutePermission(NativeFile fd, std::uint32_t sourceMode)
{
    struct stat now {};
    if ((sourceMode & 0111) && ::fstat(fd, &now) == 0)
        ::fchmod(fd, (now.st_mode & 07777) | (((now.st_mode & 0444) >> 2) & (sourceMode & 0111)));
}

bool setModificationTime(NativeFile fd, std::int64_t sec, std::int32_t nsec)
{
    struct timespec ts[2];
    ts[0].tv_sec = 0;
    ts[0].tv_nsec = UTIME_OMIT;
    ts[1].tv_sec = time_t(sec);
    ts[1].tv_nsec = nsec;
    return ::futimens(fd, ts) == 0;
}

// ---- reading and writing ----------------------------------------------------------

std::int64_t readSome(NativeFile fd, void *buf, std::size_t len)
{
    ssize_t n;
    do
        n = ::read(fd, buf, len);
    while (n < 0 && errno == EINTR);
    return n;
}

// ---- walking a folder -----------------------------------------------------------

namespace {
constexpr long kListingBuffer = 32 * 1024;
}

FolderWalker::FolderWalker(const QString &hostPath)
{
    const QByteArray host = hostNameBytes(hostPath);
    if (host.isEmpty())
        return;
    do
        m_fd = ::open(host.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (m_fd < 0 && errno == EINTR);
}

FolderWalker::~FolderWalker()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileStatus FolderWalker::folderStatus() const { return descriptorStatus(m_fd); }

bool FolderWalker::canEnter() const { return m_fd >= 0 && ::faccessat(m_fd, ".", X_OK, 0) == 0; }

bool FolderWalker::next(QByteArray &rawName, Kind *kind)
{
    if (m_fd < 0)
        return false;
    for (;;) {
        if (m_pos >= m_len) {
            if (!m_buf)
                m_buf = ioBuffer(kListingBuffer); // filled by the system
            ssize_t n;
            do
                n = ::getdents64(m_fd, m_buf.get(), kListingBuffer);
            while (n < 0 && errno == EINTR);
            if (n <= 0)
                return false;
            m_len = n;
            m_pos = 0;
        }
        const auto *de = reinterpret_cast<const struct dirent64 *>(m_buf.get() + m_pos);
        m_pos += de->d_reclen;
        const char *n = de->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        rawName = QByteArray(n);
        if (kind)
            *kind = de->d_type == DT_DIR                               ? KindFolder
                : de->d_type == DT_LNK || de->d_type == DT_UNKNOWN ? KindUnknown
                                                                   : KindOther;
        return true;
    }
}

FileStatus FolderWalker::status(const QByteArray &rawName) const
{
    struct stat st {};
    if (m_fd < 0 || ::fstatat(m_fd, rawName.constData(), &st, 0) != 0)
        return {};
    FileStatus s = fromStat(st);
    if (hiddenName(rawName.constData(), std::size_t(rawName.size())))
        s.attrs |= faHidden;
    return s;
}

} // namespace platform
