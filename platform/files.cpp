// The parts of files.h that are the same on every system: the packed
// date-time format, attributes of drive-form paths and the last-write time
// read through the status of fileio.h.
#include "files.h"
#include "drives.h"
#include "fileio.h"

#include <algorithm>
#include <ctime>

namespace platform {

int fileAttributes(const QString &path) { return hostFileAttributes(toHostPath(path)); }

QDateTime lastWriteTime(const QString &path)
{
    const FileStatus s = hostStatus(toHostPath(path));
    if (!s.exists())
        return {};
    return QDateTime::fromMSecsSinceEpoch(s.mtimeSec * 1000 + s.mtimeNsec / 1000000);
}

namespace {

bool localTime(std::int64_t unixSeconds, struct tm &tm)
{
    const time_t secs = time_t(unixSeconds);
#ifdef _WIN32
    return localtime_s(&tm, &secs) == 0;
#else
    return localtime_r(&secs, &tm) != nullptr;
#endif
}

// The local time of unixSeconds as the packed format holds it: clamped to
// 1980-01-01 00:00:00 .. 2107-12-31 23:59:58, seconds rounded down to even.
// `cut` is the seconds the rounding took off, -1 when the time was clamped.
// localtime_r, unlike a QDateTime conversion, does not look at the time zone
// again for every call.
struct tm dosLocalTime(std::int64_t unixSeconds, int &cut)
{
    struct tm tm {};
    cut = -1;
    if (!localTime(unixSeconds, tm) || tm.tm_year < 80) {
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

} // namespace platform
