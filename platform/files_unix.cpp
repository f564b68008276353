#include "files.h"
#include "drives.h"
#include "fileio.h"
#include "log.h"

#include <cerrno>
#include <cstdlib>
#include <ctime> // tzset
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace platform {

namespace {
constexpr char kZoneFile[] = ":/etc/localtime"; // the C library's own default, by name
bool g_zonePinned = false;
} // namespace

void pinLocalTimeZone()
{
    if (g_zonePinned || qEnvironmentVariableIsSet("TZ"))
        return;
    g_zonePinned = ::setenv("TZ", kZoneFile, 0) == 0;
    ::tzset();
}

QProcessEnvironment environmentForChildren()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (g_zonePinned && env.value(QStringLiteral("TZ")) == QLatin1String(kZoneFile))
        env.remove(QStringLiteral("TZ"));
    return env;
}

int hostFileAttributes(const QString &hostPath) { return hostStatus(hostPath).attrs; }

bool setFileAttributes(const QString &path, int attrs)
{
    const QByteArray host = hostNameBytes(toHostPath(path));
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

// Only read-only has a carrier to clear: the owner's write permission.
bool clearFileAttributes(const QString &path, int attrs)
{
    if (attrs & faReadOnly)
        return setFileAttributes(path, 0);
    return fileAttributes(path) >= 0;
}

std::int64_t diskFreeBytes(const QString &path)
{
    QByteArray host = hostNameBytes(toHostPath(path));
    if (host.isEmpty())
        return -1;
    // A path that is not there yet (a home folder not made yet), or that no
    // folder can have (a name too long), lies on the file system of the
    // nearest folder above it that is there: that one answers.
    struct statvfs sv {};
    while (::statvfs(host.constData(), &sv) != 0) {
        if ((errno != ENOENT && errno != ENOTDIR && errno != ENAMETOOLONG) || host == "/")
            return -1;
        while (host.size() > 1 && host.endsWith('/'))
            host.chop(1);
        const qsizetype slash = host.lastIndexOf('/');
        if (slash < 0)
            return -1;
        host.truncate(slash == 0 ? 1 : slash);
    }
    return std::int64_t(sv.f_bavail) * std::int64_t(sv.f_frsize);
}

bool setLastWriteTime(const QString &path, const QDateTime &t)
{
    const QByteArray host = hostNameBytes(toHostPath(path));
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
