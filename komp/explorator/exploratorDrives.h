#pragma once
// The chooser's drive list: every letter of the drive table, in lower case,
// with a picture of the kind of drive behind it and the drive's label.
#include "drives.h"

#include <QComboBox>
#include <QString>

namespace explorer {

using TDriveType = platform::DriveKind;

// Kind of drive from the file system type and the host folder it is mounted
// on (plain data, so that every kind can be tried without the hardware).
inline TDriveType driveTypeForHostRoot(const QByteArray &fsType, const QString &hostRoot)
{
    return platform::driveKindOfFileSystem(fsType, hostRoot);
}
// Resource name of the drive kind's picture.
QString drivePicture(TDriveType type);
// The list's text for a drive: "c: [label]", or "c:" without a label.
QString driveItemText(QChar letter, const QString &label);

} // namespace explorer

class TDriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDriveComboBox(QWidget *parent = nullptr);

    // Selected drive letter, lower case; a null QChar when the list is empty.
    QChar drive() const;
    // Selects the letter (either case); throws Exception when the list has no
    // such drive. The selection change is reported as usual.
    void setDrive(QChar letter);
    // Reads the drive table again and selects the previous drive if it is
    // still there.
    void rebuild();
};
