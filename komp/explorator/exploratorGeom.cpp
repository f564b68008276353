#include "exploratorGeom.h"

#include "drives.h"
#include "fileio.h"
#include "files.h"
#include "Utils.h"

#include <algorithm>
#include <cmath>

namespace explorer {

BusyCursor::BusyCursor(bool background) { SetBusyCursor(true, background); }
BusyCursor::~BusyCursor() { SetBusyCursor(false, false); }

QSize fitPicture(QSize picture, QSize area)
{
    if (area.width() <= 0 || area.height() <= 0 || picture.width() <= 0 || picture.height() <= 0)
        return QSize(0, 0);
    const double r = std::max(double(picture.width()) / area.width(), double(picture.height()) / area.height());
    // nearbyint rounds half to even in the default rounding mode.
    return QSize(int(std::nearbyint(picture.width() * 0.98 / r)), int(std::nearbyint(picture.height() * 0.98 / r)));
}

QPoint centredPos(QSize outer, QSize inner)
{
    return QPoint(std::max(0, (outer.width() - inner.width()) / 2), std::max(0, (outer.height() - inner.height()) / 2));
}

int listTabStopUnits(int szerPlikow, int szerOpisow, int baseUnitX)
{
    if (baseUnitX <= 0)
        return 0;
    return (szerPlikow - szerOpisow) * 4 / baseUnitX;
}

int tabStopPixels(int units, int baseUnitX) { return units * baseUnitX / 4; }

int tabPosition(int textEnd, int tabStop)
{
    if (tabStop <= 0)
        return textEnd;
    return textEnd <= tabStop ? tabStop : (textEnd + tabStop - 1) / tabStop * tabStop;
}

QString nodePathOf(const QStringList &textsUpToRoot)
{
    QString path;
    for (const QString &text : textsUpToRoot)
        path = text.contains('\\') ? text + path : text + '\\' + path;
    if (!path.isEmpty() && !path.endsWith('\\'))
        path += '\\';
    return path;
}

QString upperDrive(const QString &path)
{
    if (path.size() >= 2 && path[1] == ':')
        return path[0].toUpper() + path.mid(1);
    return path;
}

QString fullDrivePath(const QString &path)
{
    const QString host = platform::toHostPath(path);
    if (host.isEmpty())
        return path;
    const bool absolute = path.size() >= 3 && path[0].isLetter() && path[1] == ':' && path[2] == '\\';
    if (!absolute) // the drive follows from the current folder
        return platform::toDrivePath(host);
    // Keep the drive the path names, even where another drive's folder
    // holds the same host folder.
    // What follows the drive's root ("/home/u", "/" or "C:\\"), without the
    // separator between.
    const QString root = platform::driveRoot(path[0]);
    QString rest = host.mid(root.size());
    if (rest.startsWith('/') || rest.startsWith('\\'))
        rest.remove(0, 1);
    rest.replace('/', '\\');
    QString out = path.left(3) + rest;
    if (path.endsWith('\\') && !rest.isEmpty())
        out += '\\';
    return out;
}

bool folderExists(const QString &path)
{
    // An empty disc or card drive fails the check instead of asking for a disk.
    const platform::QuietDriveErrors quiet;
    const int attrs = platform::fileAttributes(path);
    return attrs >= 0 && (attrs & platform::faDirectory);
}

} // namespace explorer

namespace {

// The subfolder of a host folder whose name equals name without regard to
// case (the first by name when several do); empty when there is none.
QString subfolderLike(const QString &hostFolder, const QString &name)
{
    platform::FolderWalker dir(hostFolder);
    QString best;
    QByteArray raw;
    while (dir.next(raw)) {
        const QString entry = platform::hostNameFromBytes(raw);
        if (entry.compare(name, Qt::CaseInsensitive) == 0 && (best.isNull() || entry < best)
            && dir.status(raw).isFolder())
            best = entry;
    }
    return best;
}

} // namespace

namespace explorer {

QString existingFolder(const QString &path)
{
    // An empty text names no folder (it is not the current folder).
    if (path.isEmpty() || path.startsWith(QLatin1String("\\\\")))
        return QString();
    const QString full = fullDrivePath(path);
    if (folderExists(full))
        return full;
    if (full.size() < 3 || full[1] != ':' || !folderExists(full.left(3)))
        return QString();
    QString resolved = full.left(3);
    for (const QString &name : full.mid(3).split('\\', Qt::SkipEmptyParts)) {
        QString next = resolved + name;
        if (!folderExists(next)) {
            const QString hit = subfolderLike(platform::toHostPath(resolved), name);
            if (hit.isEmpty())
                return QString();
            next = resolved + hit;
        }
        resolved = next + '\\';
    }
    return full.endsWith('\\') ? resolved : resolved.chopped(1);
}

} // namespace explorer
