#include "exploratorDrives.h"

#include "Exceptions.h"
#include "drives.h"

#include <QIcon>
#include <QStorageInfo>

namespace explorer {

TDriveType driveTypeForHostRoot(const QByteArray &fsType, const QString &hostRoot)
{
    const QByteArray fs = fsType.toLower();
    static const char *const network[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "sshfs", "9p", "afs"};
    for (const char *n : network)
        if (fs == n)
            return TDriveType::Network;
    if (fs == "iso9660" || fs == "udf")
        return TDriveType::CdRom;
    if (fs == "tmpfs" || fs == "ramfs")
        return TDriveType::Ram;
    for (const char *prefix : {"/media/", "/run/media/", "/mnt/"})
        if (hostRoot.startsWith(QLatin1String(prefix)))
            return TDriveType::Removable;
    return TDriveType::Fixed;
}

TDriveType driveTypeOfHostRoot(const QString &hostRoot)
{
    const QStorageInfo info(hostRoot);
    return driveTypeForHostRoot(info.isValid() ? info.fileSystemType() : QByteArray(), hostRoot);
}

QString drivePicture(TDriveType type)
{
    switch (type) {
    case TDriveType::Removable: return QStringLiteral(":/explorator/drive_removable.png");
    case TDriveType::CdRom: return QStringLiteral(":/explorator/drive_cdrom.png");
    case TDriveType::Network: return QStringLiteral(":/explorator/drive_network.png");
    case TDriveType::Ram: return QStringLiteral(":/explorator/drive_ram.png");
    case TDriveType::Fixed: break;
    }
    return QStringLiteral(":/explorator/drive_fixed.png");
}

} // namespace explorer

TDriveComboBox::TDriveComboBox(QWidget *parent) : QComboBox(parent)
{
    setIconSize(QSize(16, 16));
    rebuild();
}

QChar TDriveComboBox::drive() const
{
    const QVariant v = currentData();
    return v.isValid() ? v.toChar() : QChar();
}

void TDriveComboBox::setDrive(QChar letter)
{
    const int i = findData(letter.toLower());
    if (i < 0)
        throw Exception(QStringLiteral("Invalid drive %1:").arg(letter.toLower()));
    setCurrentIndex(i);
}

void TDriveComboBox::rebuild()
{
    const QChar previous = drive();
    const QSignalBlocker block(this);
    clear();
    for (QChar letter : platform::driveLetters()) {
        const QString root = platform::driveRoot(letter);
        const QChar lower = letter.toLower();
        addItem(QIcon(explorer::drivePicture(explorer::driveTypeOfHostRoot(root))),
                QStringLiteral("%1: [%2]").arg(lower).arg(root), lower);
    }
    const int i = previous.isNull() ? -1 : findData(previous);
    setCurrentIndex(i >= 0 ? i : (count() > 0 ? 0 : -1));
}
