#include "files.h"
#include "drives.h"
#include "log.h"

#include <QFileInfo>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <fcntl.h>
#include <sys/time.h>

namespace platform {

int hostFileAttributes(const QString &hostPath)
{
    struct stat st {};
    if (hostPath.isEmpty() || ::stat(hostPath.toUtf8().constData(), &st) != 0)
        return -1;
    int a = 0;
    if (S_ISDIR(st.st_mode))
        a |= faDirectory;
    else if (S_ISREG(st.st_mode))
        a |= faArchive;
    if (!(st.st_mode & S_IWUSR))
        a |= faReadOnly;
    const QString name = QFileInfo(hostPath).fileName();
    if (name.startsWith('.') && name != QLatin1String(".") && name != QLatin1String(".."))
        a |= faHidden;
    return a;
}

int fileAttributes(const QString &path) { return hostFileAttributes(toHostPath(path)); }

bool setFileAttributes(const QString &path, int attrs)
{
    const QByteArray host = toHostPath(path).toUtf8();
    struct stat st {};
    if (host.isEmpty() || ::stat(host.constData(), &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    if (attrs & faReadOnly)
        mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    if (mode == (st.st_mode & 07777))
        return true;
    if (::chmod(host.constData(), mode) == 0)
        return true;
    qCWarning(lcSetup) << "cannot change the mode of" << host << ":" << lastSystemError();
    return false;
}

std::int64_t diskFreeBytes(const QString &path)
{
    const QByteArray host = toHostPath(path).toUtf8();
    struct statvfs sv {};
    if (host.isEmpty() || ::statvfs(host.constData(), &sv) != 0)
        return -1;
    return std::int64_t(sv.f_bavail) * std::int64_t(sv.f_frsize);
}

std::uint32_t toDosDateTime(const QDateTime &t)
{
    const QDateTime l = t.toLocalTime();
    const QDate d = l.date();
    const QTime tm = l.time();
    if (d.year() < 1980)
        return (1u << 21) | (1u << 16); // 1980-01-01 00:00:00, the first value
    if (d.year() > 2107)
        return 0xFF9FBF7Du; // 2107-12-31 23:59:58, the last value
    return std::uint32_t(d.year() - 1980) << 25 | std::uint32_t(d.month()) << 21 | std::uint32_t(d.day()) << 16
        | std::uint32_t(tm.hour()) << 11 | std::uint32_t(tm.minute()) << 5 | std::uint32_t(tm.second() / 2);
}

QDateTime fromDosDateTime(std::uint32_t dos)
{
    const QDate d(int(dos >> 25) + 1980, int((dos >> 21) & 0x0F), int((dos >> 16) & 0x1F));
    const QTime tm(int((dos >> 11) & 0x1F), int((dos >> 5) & 0x3F), int(dos & 0x1F) * 2);
    return QDateTime(d, tm, Qt::LocalTime);
}

QDateTime lastWriteTime(const QString &path)
{
    struct stat st {};
    const QByteArray host = toHostPath(path).toUtf8();
    if (host.isEmpty() || ::stat(host.constData(), &st) != 0)
        return {};
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
}

bool setLastWriteTime(const QString &path, const QDateTime &t)
{
    const QByteArray host = toHostPath(path).toUtf8();
    if (host.isEmpty() || !t.isValid())
        return false;
    struct timespec ts[2];
    ts[0].tv_sec = 0;
    ts[0].tv_nsec = UTIME_OMIT;
    const qint64 ms = t.toMSecsSinceEpoch();
    ts[1].tv_sec = time_t(ms / 1000);
    ts[1].tv_nsec = long(ms % 1000) * 1000000;
    if (::utimensat(AT_FDCWD, host.constData(), ts, 0) == 0)
        return true;
    qCWarning(lcSetup) << "cannot set the time of" << host << ":" << lastSystemError();
    return false;
}

} // namespace platform
