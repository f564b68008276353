// Drive letters on Windows: the system's own. A host path is the drive path
// itself, made absolute and normalised by the system (GetFullPathNameW), so
// that what is checked is what a later call opens.
#include "drives.h"

#include <windows.h>
#include <winnetwk.h>

#include <algorithm>

namespace platform {
namespace {

bool isLetter(QChar c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::wstring wide(const QString &s) { return s.toStdWString(); }

bool driveExists(QChar letter)
{
    if (!isLetter(letter))
        return false;
    return (GetLogicalDrives() >> (letter.toUpper().unicode() - 'A')) & 1;
}

QString currentFolder()
{
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetCurrentDirectoryW(DWORD(buf.size()), buf.data());
        if (n == 0)
            return {};
        if (n < buf.size())
            return QString::fromWCharArray(buf.data(), int(n));
        buf.resize(n);
    }
}

// The absolute, normalised path: "." and ".." resolved (never above a
// root), "/" turned into "\", doubled separators made single, a path on the
// current drive completed. Device names come back as "\\.\NUL".
QString fullPath(const QString &path)
{
    const std::wstring in = wide(path);
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFullPathNameW(in.c_str(), DWORD(buf.size()), buf.data(), nullptr);
        if (n == 0)
            return {};
        if (n < buf.size())
            return QString::fromWCharArray(buf.data(), int(n));
        buf.resize(n);
    }
}

// A full path on a drive the system has, without a final backslash unless
// it is the root; empty for anything else (a share, a device).
QString onDrive(QString full)
{
    if (full.size() < 3 || full[1] != ':' || full[2] != '\\' || !driveExists(full[0]))
        return {};
    full[0] = full[0].toUpper();
    if (full.size() > 3 && full.endsWith('\\'))
        full.chop(1);
    return full;
}

} // namespace

QList<QChar> driveLetters()
{
    QList<QChar> out;
    const DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i)
        if (mask & (1u << i))
            out << QChar('A' + i);
    return out;
}

QString driveRoot(QChar letter)
{
    return driveExists(letter) ? QString(letter.toUpper()) + QStringLiteral(":\\") : QString();
}

// The letters are the system's: there is no table to change.
void setDriveRoot(QChar, const QString &) {}
void resetDrives() {}

QChar currentDrive()
{
    const QString cwd = currentFolder();
    return cwd.size() >= 2 && cwd[1] == ':' && isLetter(cwd[0]) ? cwd[0].toUpper() : QChar();
}

QString toHostPath(const QString &path)
{
    if (path.startsWith(QLatin1String("\\\\")) || path.startsWith(QLatin1String("//"))
        || path.startsWith(QLatin1String("\\/")) || path.startsWith(QLatin1String("/\\")))
        return {};
    // A named drive must be there; "C:name" is relative to the folder the
    // system keeps current for that drive.
    if (path.size() >= 2 && path[1] == ':' && !driveExists(path[0]))
        return {};
    if (path.isEmpty())
        return onDrive(currentFolder());
    return onDrive(fullPath(path));
}

qsizetype lastSeparator(const QString &path) { return std::max(path.lastIndexOf('\\'), path.lastIndexOf(':')); }

QString fileNamePart(const QString &path) { return path.mid(lastSeparator(path) + 1); }

QString toDrivePath(const QString &hostPath)
{
    if (hostPath.startsWith(QLatin1String("\\\\")) || hostPath.startsWith(QLatin1String("//")))
        return {};
    return onDrive(fullPath(hostPath.isEmpty() ? QStringLiteral(".") : hostPath));
}

DriveKind driveKind(QChar letter)
{
    switch (GetDriveTypeW(wide(driveRoot(letter)).c_str())) {
    case DRIVE_REMOVABLE: return DriveKind::Removable;
    case DRIVE_CDROM: return DriveKind::CdRom;
    case DRIVE_REMOTE: return DriveKind::Network;
    case DRIVE_RAMDISK: return DriveKind::Ram;
    default: return DriveKind::Fixed;
    }
}

QString driveLabel(QChar letter)
{
    if (!driveExists(letter))
        return {};
    if (driveKind(letter) == DriveKind::Network) {
        wchar_t remote[1024];
        DWORD size = DWORD(std::size(remote));
        const wchar_t device[] = {wchar_t(letter.toUpper().unicode()), L':', 0};
        if (WNetGetConnectionW(device, remote, &size) == NO_ERROR)
            return QString::fromWCharArray(remote);
    }
    const QuietDriveErrors quiet; // an empty disc drive has no name, and no box asks for one
    wchar_t name[MAX_PATH + 1];
    if (!GetVolumeInformationW(wide(driveRoot(letter)).c_str(), name, DWORD(std::size(name)), nullptr, nullptr,
                               nullptr, nullptr, 0))
        return {};
    return QString::fromWCharArray(name);
}

QuietDriveErrors::QuietDriveErrors() : m_previous(SetErrorMode(SEM_FAILCRITICALERRORS))
{
    SetErrorMode(m_previous | SEM_FAILCRITICALERRORS); // the other flags as they were
}

QuietDriveErrors::~QuietDriveErrors() { SetErrorMode(m_previous); }

bool connectNetworkDrive(quintptr ownerWindow)
{
    return WNetConnectionDialog(reinterpret_cast<HWND>(ownerWindow), RESOURCETYPE_DISK) == NO_ERROR;
}

} // namespace platform
