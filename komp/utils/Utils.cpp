// Drives and files of Utils.h, and the module's start-up step. The other
// sections live in Utils<Section>.cpp.
#include "Utils.h"

#include "drives.h"
#include "files.h"

namespace {

// Start-up step of this module: it runs before main() in every program that
// links the module.
[[maybe_unused]] const bool formatDefaultsSet = (InitFormatSettings(), true);

} // namespace

long double BytesToMB(std::int64_t bytes)
{
    if (bytes < 0)
        return -1;
    return static_cast<long double>(bytes) / 1048576.0L;
}

long double DiskFreeMB(quint8 drive)
{
    QChar letter = drive == 0 ? platform::currentDrive() : QChar::fromLatin1(char((drive + 64) & 0xFF));
    if (letter.isNull())
        return -1;
    return BytesToMB(platform::diskFreeBytes(QString(letter) + QStringLiteral(":\\")));
}

quint8 DriveNumberOf(const QString &path)
{
    QChar first;
    if (path.startsWith(QLatin1String("\\\\")))
        first = path[0]; // server and share: no drive answers it
    else if (path.size() >= 2 && path[1] == ':')
        first = path[0];
    if (first.isNull())
        return 0;
    // Names are single-byte; a character without a byte would otherwise wrap
    // onto a real drive letter, so it stands as "?" (no drive).
    const int code = first.unicode() > 0xFF ? '?' : first.unicode();
    return quint8((code - 65 + 1) & 0xFF);
}

bool ClearFileAttributes(const QString &fileName)
{
    // An empty name would otherwise resolve to the current folder. The
    // archive bit and every other stays.
    return !fileName.isEmpty()
        && platform::clearFileAttributes(fileName, platform::faReadOnly | platform::faHidden | platform::faSysFile);
}
