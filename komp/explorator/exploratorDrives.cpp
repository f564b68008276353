#include "exploratorDrives.h"

#include "Exceptions.h"
#include "drives.h"

#include <QIcon>

namespace explorer {

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

QString driveItemText(QChar letter, const QString &label)
{
    const QString drive = QString(letter.toLower()) + ':';
    return label.isEmpty() ? drive : QStringLiteral("%1 [%2]").arg(drive, label);
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
        const QChar lower = letter.toLower();
        addItem(QIcon(explorer::drivePicture(platform::driveKind(letter))),
                explorer::driveItemText(letter, platform::driveLabel(letter)), lower);
    }
    const int i = previous.isNull() ? -1 : findData(previous);
    setCurrentIndex(i >= 0 ? i : (count() > 0 ? 0 : -1));
}
