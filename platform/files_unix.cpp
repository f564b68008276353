#include "files.h"
#include "drives.h"
#include "fileio.h"
#include "log.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
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

int fileAttributes(const QString &path) { return hostFileAttributes(toHostPath(path)); }

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

namespace {

// The local time of unixSeconds as the packed format holds it: clamped to
// 1980-01-01 00:00:00 .. 2107-12-31 23:59:58, seconds rounded down to even.
// `cut` is the seconds the rounding took off, -1 when the time was clamped.
// localtime_r, unlike a QDateTime conversion, does not look at the time zone
// again for every call.
struct tm dosLocalTime(std::int64_t unixSeconds, int &cut)
{
    struct tm tm {};
    const time_t secs = time_t(unixSeconds);
    cut = -1;
    if (!localtime_r(&secs, &tm) || tm.tm_year < 80) {
        tm = {};
        tm.tm_year = 80, tm.tm_mday = 1, tm.tm_isdst = -1;
    } else if (tm.tm_year > 207) {
        tm = {};
        tm.tm_year = 207, tm.tm_mon = 11, tm.tm_mday = 31, tm.tm_hour = 23, tm.tm_min = 59, tm.tm_sec = 58;
        tm.tm_isdst = -1;
    } else {
        const int kept = std::min(tm.tm_sec, 59) / 2 * 2;
        cut = tm.tm_sec - kept;
        tm.tm_sec = kept;
    }
    return tm;
}

} // namespace

std::uint32_t toDosDateTime(std::int64_t unixSeconds)
{
    int cut;
    const struct tm tm = dosLocalTime(unixSeconds, cut);
    return std::uint32_t(tm.tm_year - 80) << 25 | std::uint32_t(tm.tm_mon + 1) << 21 | std::uint32_t(tm.tm_mday) << 16
        | std::uint32_t(tm.tm_hour) << 11 | std::uint32_t(tm.tm_min) << 5 | std::uint32_t(tm.tm_sec / 2);
}

std::uint32_t toDosDateTime(const QDateTime &t) { return toDosDateTime(t.toSecsSinceEpoch()); }

QDateTime fromDosDateTime(std::uint32_t dos)
{
    const QDate d(int(dos >> 25) + 1980, int((dos >> 21) & 0x0F), int((dos >> 16) & 0x1F));
    const QTime tm(int((dos >> 11) & 0x1F), int((dos >> 5) & 0x3F), int(dos & 0x1F) * 2);
    return QDateTime(d, tm, Qt::LocalTime);
}

std::int64_t dosRoundedTime(std::int64_t unixSeconds)
{
    // Within the range only the seconds change, and the offsets of the zones
    // since 1980 are whole minutes: the instant moves back by what the
    // rounding cut off (mktime, the costly half, is left for the clamped ends).
    int cut;
    struct tm tm = dosLocalTime(unixSeconds, cut);
    return cut >= 0 ? unixSeconds - cut : std::int64_t(mktime(&tm));
}

QDateTime lastWriteTime(const QString &path)
{
    const FileStatus s = hostStatus(toHostPath(path));
    if (!s.exists())
        return {};
    return QDateTime::fromMSecsSinceEpoch(s.mtimeSec * 1000 + s.mtimeNsec / 1000000);
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
