// Drive letters on Windows: the system's own. A host path is the drive path
// itself, made absolute and normalised by the system (GetFullPathNameW), so
// that what is checked is what a later call opens. Tests may put a letter on
// a folder inside this process (setDriveRoot), as Linux's table does.
#include "drives.h"

#include <QMap>
#include <windows.h>
#include <winnetwk.h>

#include <algorithm>

namespace platform {
namespace {

bool isLetter(QChar c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::wstring wide(const QString &s) { return s.toStdWString(); }

// Letters put on folders by setDriveRoot (tests): letter -> absolute folder.
QMap<QChar, QString> &mapped()
{
    static QMap<QChar, QString> m;
    return m;
}

// The letter's own entry among the system's device names: the drives
// GetLogicalDrives lists, asked one at a time. GetLogicalDrives asks the
// mount manager, under Wine a round trip to another process (about 0.8 ms),
// and paths are turned into host paths once per installed file.
bool systemHas(QChar letter)
{
    if (!isLetter(letter))
        return false;
    const wchar_t name[3] = {wchar_t(letter.toUpper().unicode()), L':', 0};
    wchar_t target[MAX_PATH];
    return QueryDosDeviceW(name, target, MAX_PATH) != 0 || GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

bool driveExists(QChar letter) { return mapped().contains(letter.toUpper()) || systemHas(letter); }

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
// root), "/" turned into "\", doubled separators made single, a relative
// path completed from the current folder. Device names come back as
// "\\.\NUL". An absolute drive path is resolved as text alone.
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

bool isDrivePath(const QString &full) { return full.size() >= 3 && full[1] == ':' && full[2] == '\\' && isLetter(full[0]); }

QString withoutFinalSeparator(QString p)
{
    if (p.size() > 3 && p.endsWith('\\'))
        p.chop(1);
    return p;
}

// A full host path in drive form: under a mapped folder (the longest) by
// its letter, else by the system's own letter; empty for a share or a device.
QString driveFormOf(const QString &full)
{
    if (!isDrivePath(full))
        return {};
    QChar best;
    qsizetype bestLen = -1;
    for (auto it = mapped().cbegin(); it != mapped().cend(); ++it) {
        const QString &root = it.value();
        const bool under = full.compare(root, Qt::CaseInsensitive) == 0
                           || (full.startsWith(root, Qt::CaseInsensitive)
                               && (root.endsWith('\\') || full[root.size()] == '\\'));
        if (under && root.size() > bestLen) {
            best = it.key();
            bestLen = root.size();
        }
    }
    if (best.isNull())
        return systemHas(full[0]) ? withoutFinalSeparator(QString(full[0].toUpper()) + full.mid(1)) : QString();
    QString rest = full.mid(bestLen);
    if (rest.startsWith('\\'))
        rest.remove(0, 1);
    return withoutFinalSeparator(QString(best) + QStringLiteral(":\\") + rest);
}

// A normalised absolute drive path as a host path: a mapped letter's folder
// takes the place of its root.
QString hostOf(const QString &drivePath)
{
    const QChar letter = drivePath[0].toUpper();
    if (!driveExists(letter))
        return {};
    const auto it = mapped().constFind(letter);
    if (it == mapped().cend())
        return withoutFinalSeparator(QString(letter) + drivePath.mid(1));
    const QString rest = drivePath.mid(3);
    if (rest.isEmpty())
        return it.value();
    return withoutFinalSeparator(it.value() + (it.value().endsWith('\\') ? QString() : QStringLiteral("\\")) + rest);
}

} // namespace

QList<QChar> driveLetters()
{
    QList<QChar> out;
    for (char c = 'A'; c <= 'Z'; ++c)
        if (driveExists(QChar(c)))
            out << QChar(c);
    return out;
}

QString driveRoot(QChar letter)
{
    const auto it = mapped().constFind(letter.toUpper());
    if (it != mapped().cend())
        return it.value();
    return systemHas(letter) ? QString(letter.toUpper()) + QStringLiteral(":\\") : QString();
}

void setDriveRoot(QChar letter, const QString &hostFolder)
{
    const QChar l = letter.toUpper();
    if (!isLetter(l))
        return;
    const QString full = fullPath(hostFolder);
    if (hostFolder.isEmpty() || !isDrivePath(full))
        mapped().remove(l);
    else
        mapped().insert(l, withoutFinalSeparator(full));
}

void resetDrives() { mapped().clear(); }

QChar currentDrive()
{
    const QString cwd = driveFormOf(currentFolder());
    return cwd.isEmpty() ? QChar() : cwd[0];
}

QString toHostPath(const QString &path)
{
    if (path.startsWith(QLatin1String("\\\\")) || path.startsWith(QLatin1String("//"))
        || path.startsWith(QLatin1String("\\/")) || path.startsWith(QLatin1String("/\\")))
        return {};
    // The path made absolute in drive form first: against the current
    // folder (relative), its drive's root ("\x"), or the drive's current
    // folder ("C:name", the current folder when it is on that drive).
    QString absolute;
    const bool named = path.size() >= 2 && path[1] == ':';
    if (named && !driveExists(path[0]))
        return {};
    if (named && path.size() >= 3 && (path[2] == '\\' || path[2] == '/')) {
        absolute = path;
    } else {
        const QString cwd = driveFormOf(currentFolder());
        const QChar letter = named ? path[0].toUpper() : (cwd.isEmpty() ? QChar() : cwd[0]);
        if (letter.isNull())
            return {}; // the current folder is on a share
        const QString rest = named ? path.mid(2) : path;
        if (!named && (rest.startsWith('\\') || rest.startsWith('/')))
            absolute = QString(letter) + ':' + rest;
        else if (!cwd.isEmpty() && cwd[0] == letter)
            absolute = cwd + '\\' + rest;
        else
            absolute = QString(letter) + QStringLiteral(":\\") + rest;
    }
    const QString full = fullPath(absolute);
    return isDrivePath(full) ? hostOf(full) : QString();
}

qsizetype lastSeparator(const QString &path) { return std::max(path.lastIndexOf('\\'), path.lastIndexOf(':')); }

QString fileNamePart(const QString &path) { return path.mid(lastSeparator(path) + 1); }

QString toDrivePath(const QString &hostPath)
{
    if (hostPath.startsWith(QLatin1String("\\\\")) || hostPath.startsWith(QLatin1String("//")))
        return {};
    return driveFormOf(fullPath(hostPath.isEmpty() ? QStringLiteral(".") : hostPath));
}

DriveKind driveKind(QChar letter)
{
    const QString root = driveRoot(letter); // a mapped letter: the drive of its folder
    switch (GetDriveTypeW(wide(root.left(3)).c_str())) {
    case DRIVE_REMOVABLE: return DriveKind::Removable;
    case DRIVE_CDROM: return DriveKind::CdRom;
    case DRIVE_REMOTE: return DriveKind::Network;
    case DRIVE_RAMDISK: return DriveKind::Ram;
    default: return DriveKind::Fixed;
    }
}

QString driveLabel(QChar letter)
{
    if (mapped().contains(letter.toUpper()))
        return driveRoot(letter); // a folder: shown by its path, as on Linux
    if (!systemHas(letter))
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
